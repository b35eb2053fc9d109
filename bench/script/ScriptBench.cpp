// What interpreting costs next to the bus cycles it issues.
//
// The Super I/O configuration access runs three texts to enter configuration mode
// ("LocalA= 46", "LocalB= 47", "o LocalA 0x87; o LocalA 0x87"), each on a fresh
// interpreter per step, and three to leave it. The counters report, per run of the
// enter sequence: the whole time, the time the virtual board spends in the two port
// writes (measured alone beforehand), the interpreter's share (the difference), and that
// share against the bus time of the cycles on real hardware (one LPC I/O cycle ~ 1 us).
// The target is interp_vs_bus < 0.1. The counters are processor time (std::clock), so a
// busy machine does not inflate them the way it inflates wall time.

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>

#include "hwaccess/ReadWrite.h"
#include "script/Interpreter.h"
#include "sim/RegisterPorts.h"
#include "sim/VirtualBoard.h"

namespace {

constexpr double kLpcCycleNs = 1000.0;

TVirtualBoard& Board() {
  static TVirtualBoard* board = [] {
    auto b = std::make_unique<TVirtualBoard>();
    auto& sio = static_cast<TIndexDataPorts&>(
        b->AddPortDevice(std::make_unique<TIndexDataPorts>("sio", 0x2E, 0x2F)));
    sio.Registers[0x20] = 0x52;
    sio.Registers[0x21] = 0x41;
    TVirtualBoard& installed = TVirtualBoard::Install(std::move(b));
    installed.Trace().SetKeeping(false);
    TReadWrite::Instance();
    return &installed;
  }();
  return *board;
}

double ElapsedNs(std::clock_t start) {
  return static_cast<double>(std::clock() - start) * 1e9 / CLOCKS_PER_SEC;
}

// Nanoseconds the access service and the virtual board take for one byte write.
double PortWriteNs() {
  Board();
  TReadWrite& rw = TReadWrite::Instance();
  constexpr int kRounds = 200000;
  const std::clock_t start = std::clock();
  for (int i = 0; i < kRounds; ++i) rw.WriteIoByte(0x2E, 0x87);
  return ElapsedNs(start) / kRounds;
}

void Report(benchmark::State& state, double totalNs, double ports) {
  static const double portNs = PortWriteNs();
  const double perRun = totalNs / static_cast<double>(state.iterations());
  const double interp = perRun - ports * portNs;
  state.counters["total_ns"] = perRun;
  state.counters["port_ns"] = ports * portNs;
  state.counters["interp_ns"] = interp;
  state.counters["bus_ns"] = ports * kLpcCycleNs;
  state.counters["interp_vs_bus"] = interp / (ports * kLpcCycleNs);
}

const std::string kTemplateA = "LocalA= 46";
const std::string kTemplateB = "LocalB= 47";
const std::string kEnter = "o LocalA 0x87; o LocalA 0x87";

// The enter sequence on one interpreter.
void BM_EnterConfigSequence(benchmark::State& state) {
  Board();
  TInterpreter interpreter;
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    interpreter.Run(kTemplateA);
    interpreter.Run(kTemplateB);
    interpreter.Run(kEnter);
  }
  Report(state, ElapsedNs(start), 2);
}
BENCHMARK(BM_EnterConfigSequence);

// The same with a new interpreter per sequence, as the configuration access does it.
void BM_EnterConfigFreshInterpreter(benchmark::State& state) {
  Board();
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    TInterpreter interpreter;
    interpreter.Run(kTemplateA);
    interpreter.Run(kTemplateB);
    interpreter.Run(kEnter);
  }
  Report(state, ElapsedNs(start), 2);
}
BENCHMARK(BM_EnterConfigFreshInterpreter);

// A Winbond-form detection script run to its end: 9 statements, 7 port cycles.
void BM_DetectionScript(benchmark::State& state) {
  Board();
  const std::string detect =
      "LocalA=0x2e; LocalB=0x2f; o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
      "Local0=IID16(LocalA,LocalB,0x20); bkif0(sub(Local0,0x1752)); bkif0(sub(Local0,0x3a52)); "
      "sub(Local0,0x4152)";
  TInterpreter interpreter;
  std::int32_t result = 0;
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    interpreter.Run(detect, result);
    benchmark::DoNotOptimize(result);
  }
  state.counters["statements_per_s"] =
      benchmark::Counter(9.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  Report(state, ElapsedNs(start), 7);
}
BENCHMARK(BM_DetectionScript);

// The port writes alone, through the access service onto the virtual board.
void BM_PortWritesOnly(benchmark::State& state) {
  Board();
  TReadWrite& rw = TReadWrite::Instance();
  for (auto _ : state) {
    rw.WriteIoByte(0x2E, 0x87);
    rw.WriteIoByte(0x2E, 0x87);
  }
}
BENCHMARK(BM_PortWritesOnly);

// Compiling a text (what a cache miss costs).
void BM_CompileOnMiss(benchmark::State& state) {
  Board();
  TInterpreter interpreter;
  std::uint32_t n = 0;
  for (auto _ : state) {
    // A different text every time: "LocalA= <n>".
    interpreter.Run("LocalA= " + std::to_string(n++ & 0xFFFFF));
  }
}
BENCHMARK(BM_CompileOnMiss);

}  // namespace
