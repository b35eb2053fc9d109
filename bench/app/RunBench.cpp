// The whole tool and one pin write, on every demo board (a board whose model has a section in
// the shipped Gavrelo.INI):
//
//   BM_WholeRun/<board>  one gavrelo process from start to exit with Delay=0: wall time (the
//                        benchmark's time) and CPU time (cpu_ms, user + system of the
//                        process), and the bus operations the run issues, counted once from
//                        its trace: port cycles, PCI configuration accesses, memory requests
//                        and bytes. bus_ms is what those take on real hardware, at 1 us per
//                        port cycle and 100 MB/s for memory through the mapping; cpu_per_bus
//                        is cpu_ms / bus_ms.
//   BM_GpioSet/<chip>    one pin write of the section's PIN (low and high in turn) through
//                        the chip's pin driver in this process, as `gavreloctl gpio set`
//                        makes it: configuration-register accesses and port cycles per write,
//                        and the CPU time (the benchmark's time).
//
// bench/README.md holds the table and the command that reproduces it.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "gpio/GpioBase.h"
#include "host/Console.h"
#include "sim/VirtualBoard.h"
#include "sio/AbstractSio.h"
#include "sio/SioBuilder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr double kPortCycleUs = 1.0;        // one I/O port cycle on the LPC bus
constexpr double kMemoryBytesPerUs = 100.0; // 100 MB/s through the physical-memory mapping

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The build's tree with gavrelo and its configuration, and the shipped INI with every Delay
// set to 0, in a directory of its own.
class TStage {
 public:
  TStage() {
    std::string pattern = (fs::temp_directory_path() / "gavrelo-bench-XXXXXX").string();
    m_Dir = ::mkdtemp(pattern.data());
    const fs::path build = fs::path(GAVRELO_BIN_DIR).parent_path();
    fs::create_directories(m_Dir / "Bin");
    for (const char* conf : {"Conf", "_Conf"}) fs::copy(build / conf, m_Dir / conf, fs::copy_options::recursive);
    fs::copy_file(fs::path(GAVRELO_BIN_DIR) / "gavrelo", Exe());
    const std::string ini = Slurp(fs::path(GAVRELO_SOURCE_DIR) / "src/app/Gavrelo.INI");
    std::ofstream(m_Dir / "Bin/Gavrelo.INI", std::ios::binary)
        << std::regex_replace(ini, std::regex("(^|\n)Delay=[^\r\n]*"), "$1Delay=0");
  }
  ~TStage() {
    std::error_code ignored;
    fs::remove_all(m_Dir, ignored);
  }
  fs::path Exe() const { return m_Dir / "Bin/gavrelo"; }
  fs::path Trace() const { return m_Dir / "trace.jsonl"; }

 private:
  fs::path m_Dir;
};

TStage& Stage() {
  static TStage* stage = new TStage();  // removed at the end of main
  return *stage;
}

struct TRunCost {
  double WallUs = 0;
  double CpuUs = 0;
};

// One gavrelo process on `board`, output discarded; a trace when `trace` is set.
TRunCost RunGavrelo(const std::string& board, bool trace) {
  std::vector<std::string> envText;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("GAVRELO_", 0) != 0) envText.push_back(entry);
  }
  envText.push_back("GAVRELO_BOARD=" + board);
  if (trace) envText.push_back("GAVRELO_TRACE=" + Stage().Trace().string());
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string exe = Stage().Exe().string();
  char* argv[] = {exe.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  TRunCost cost;
  if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data()) == 0) {
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    cost.CpuUs = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  }
  cost.WallUs = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  return cost;
}

// What one traced run of a board shows: its model's section, PIN, and the bus operations.
struct TBoardRun {
  std::string Board;
  bool Section = false;
  std::string Type;
  std::string Pin;
  double PortCycles = 0;
  double PciAccesses = 0;
  double MemRequests = 0;
  double MemBytes = 0;
};

TBoardRun Probe(const fs::path& board) {
  TBoardRun run;
  run.Board = board.string();
  fs::remove(Stage().Trace());
  RunGavrelo(run.Board, true);
  std::istringstream in(Slurp(Stage().Trace()));
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
    if (!e.is_object()) continue;
    const std::string kind = e.value("kind", "");
    if (kind == "in" || kind == "out") run.PortCycles += 1;
    if (kind == "pci_read" || kind == "pci_write") run.PciAccesses += 1;
    if (kind == "mem_read" || kind == "mem_write") {
      run.MemRequests += 1;
      run.MemBytes += e.value("length", 0.0);
    }
    if (kind == "decision" && e.value("what", "") == "ini_section") run.Section = e.value("found", false);
    if (kind == "decision" && e.value("what", "") == "ini_key" && e.value("key", "") == "TYPE") run.Type = e.value("value", "");
    if (kind == "decision" && e.value("what", "") == "ini_key" && e.value("key", "") == "PIN") run.Pin = e.value("value", "");
  }
  return run;
}

void WholeRun(benchmark::State& state, const TBoardRun& board) {
  double cpuUs = 0;
  for (auto _ : state) {
    const TRunCost cost = RunGavrelo(board.Board, false);
    cpuUs += cost.CpuUs;
    state.SetIterationTime(cost.WallUs / 1e6);
  }
  const double iterations = static_cast<double>(state.iterations());
  const double busUs = board.PortCycles * kPortCycleUs + board.MemBytes / kMemoryBytesPerUs;
  state.counters["cpu_ms"] = cpuUs / iterations / 1000;
  state.counters["port_cycles"] = board.PortCycles;
  state.counters["pci_accesses"] = board.PciAccesses;
  state.counters["mem_requests"] = board.MemRequests;
  state.counters["mem_bytes"] = board.MemBytes;
  state.counters["bus_ms"] = busUs / 1000;
  state.counters["cpu_per_bus"] = busUs > 0 ? cpuUs / iterations / busUs : 0;
}

void GpioSet(benchmark::State& state, const TBoardRun& run) {
  gavrelo::ResetProcessStateForTests();
  TVirtualBoard& board = TVirtualBoard::Install(TVirtualBoard::FromFile(run.Board));
  TGpioBase* owner = TSioBuilder::Instance().Build(0x2E);
  const std::wstring pin = host::Utf8ToWide(run.Pin);
  const std::wstring low = pin + L"=Low";
  const std::wstring high = pin + L"=High";
  // One write counted with the trace on; the data-port cycles are the register accesses.
  board.Trace().Clear();
  owner->ApplyGPIOSetting(low);
  double cycles = 0;
  double accesses = 0;
  for (const TPortCycle& cycle : board.Trace().PortCycles()) {
    cycles += 1;
    if (cycle.Port == 0x2F) accesses += 1;
  }
  board.Trace().SetKeeping(false);
  bool up = true;
  for (auto _ : state) {
    owner->ApplyGPIOSetting(up ? high : low);
    up = !up;
  }
  state.counters["config_accesses"] = accesses;
  state.counters["port_cycles"] = cycles;
  state.counters["bus_us"] = cycles * kPortCycleUs;
  gavrelo::ResetProcessStateForTests();
}

// The chip at 0x2E of a board, for the benchmark's name.
std::string ChipOf(const TBoardRun& run) {
  gavrelo::ResetProcessStateForTests();
  TVirtualBoard::Install(TVirtualBoard::FromFile(run.Board));
  auto* sio = dynamic_cast<TAbstractSio*>(TSioBuilder::Instance().Build(0x2E));
  const std::string name = sio != nullptr ? host::WideToUtf8(sio->ChipEntry().FullName) : "";
  gavrelo::ResetProcessStateForTests();
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<fs::path> boards;
  for (const auto& entry : fs::directory_iterator(fs::path(GAVRELO_SOURCE_DIR) / "boards"))
    if (entry.path().extension() == ".json") boards.push_back(entry.path());
  std::sort(boards.begin(), boards.end());
  static std::vector<TBoardRun> runs;
  for (const fs::path& board : boards) {
    TBoardRun run = Probe(board);
    if (run.Section) runs.push_back(run);
  }
  std::set<std::string> chips;
  for (const TBoardRun& run : runs) {
    const std::string name = fs::path(run.Board).stem().string();
    benchmark::RegisterBenchmark(("BM_WholeRun/" + name).c_str(), WholeRun, run)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    if (run.Type != "SIO_GPIO") continue;
    const std::string chip = ChipOf(run);
    if (!chips.insert(chip).second) continue;  // one pin write per chip model
    benchmark::RegisterBenchmark(("BM_GpioSet/" + chip + "/" + run.Pin).c_str(), GpioSet, run)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete &Stage();
  return 0;
}
