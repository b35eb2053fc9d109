// CPU time of one detection pass over the 53-row table and of one configuration-register
// read, beside the number of port cycles each issues. On real hardware a port cycle costs
// about 1 us, so "cpu_time_per_bus_time" says how the software overhead compares with the bus.

#include <benchmark/benchmark.h>

#include <string>

#include "diag/ProcessState.h"
#include "sim/VirtualBoard.h"
#include "sio/SioBase.h"

namespace {

TVirtualBoard& InstallBoard(const char* name) {
  gavrelo::ResetProcessStateForTests();
  TVirtualBoard& board = TVirtualBoard::Install(
      TVirtualBoard::FromFile(std::string(GAVRELO_SOURCE_DIR) + "/boards/" + name));
  board.Trace().SetKeeping(false);
  return board;
}

// Counts cycles with the trace on for one run, then measures with it off.
std::size_t CyclesOf(TVirtualBoard& board, void (*run)(TSioBase&), TSioBase& sio) {
  board.Trace().SetKeeping(true);
  board.Trace().Clear();
  run(sio);
  const std::size_t cycles = board.Trace().PortCycles().size();
  board.Trace().Clear();
  board.Trace().SetKeeping(false);
  return cycles;
}

void Report(benchmark::State& state, std::size_t cycles) {
  state.counters["port_cycles"] = static_cast<double>(cycles);
  // CPU time per iteration divided by (cycles x 1 us), shown with a unit of s: below 1 the
  // bus time of the real chip dominates the software overhead.
  state.counters["cpu_time_per_bus_time"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(cycles) * 1e-6,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_DetectionPass(benchmark::State& state) {
  TVirtualBoard& board = InstallBoard("sio-WM.json");
  TSioBase sio;
  const std::size_t cycles = CyclesOf(board, [](TSioBase& s) { s.DetectChips(); }, sio);
  for (auto _ : state) sio.DetectChips();
  Report(state, cycles);
  gavrelo::ResetProcessStateForTests();
}
BENCHMARK(BM_DetectionPass)->Unit(benchmark::kMicrosecond);

void BM_ReadConfigRegister(benchmark::State& state) {
  TVirtualBoard& board = InstallBoard("sio-WM.json");
  TSioBase sio;
  const std::size_t cycles =
      CyclesOf(board, [](TSioBase& s) { benchmark::DoNotOptimize(s.ReadConfigRegister(0x20)); }, sio);
  for (auto _ : state) benchmark::DoNotOptimize(sio.ReadConfigRegister(0x20));
  Report(state, cycles);
  gavrelo::ResetProcessStateForTests();
}
BENCHMARK(BM_ReadConfigRegister)->Unit(benchmark::kMicrosecond);

}  // namespace
