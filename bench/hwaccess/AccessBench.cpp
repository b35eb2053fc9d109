// Cost of the access path. One port read through the whole protocol (service -> request
// record -> host device-control -> dispatcher -> virtual board) against the back-end call
// alone: the ratio is the protocol's overhead. And SearchMem throughput over 128 KiB.

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "hwaccess/ReadWrite.h"
#include "sim/VirtualBoard.h"

namespace {

TVirtualBoard& InstallBoard() {
  gavrelo::ResetProcessStateForTests();
  TVirtualBoard& board = TVirtualBoard::Install(TVirtualBoard::FromJson(nlohmann::json::parse(R"({
    "ports": [{"first": "0x80", "values": "5A"}],
    "memory": [{"base": "0xE0000", "size": "0x20000"}]})")));
  board.Trace().SetKeeping(false);  // measure the access, not the event list
  return board;
}

void PortReadThroughService(benchmark::State& state) {
  InstallBoard();
  TReadWrite& rw = TReadWrite::Instance();
  for (auto _ : state) benchmark::DoNotOptimize(rw.ReadIoByte(0x80));
  gavrelo::ResetProcessStateForTests();
}
BENCHMARK(PortReadThroughService);

void PortReadBackEndOnly(benchmark::State& state) {
  TVirtualBoard& board = InstallBoard();
  TMachine& machine = board;
  std::uint32_t value = 0;
  for (auto _ : state) {
    machine.PortRead(0x80, 1, value);
    benchmark::DoNotOptimize(value);
  }
  gavrelo::ResetProcessStateForTests();
}
BENCHMARK(PortReadBackEndOnly);

// 128 KiB without a match, so every position is tested; bytes/s is the search rate.
void SearchMem128K(benchmark::State& state) {
  InstallBoard();
  TReadWrite& rw = TReadWrite::Instance();
  const auto step = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(rw.SearchMem(0xE0000, 0x20000, step, "$CN1368$", 8, 0));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 0x20000);
  gavrelo::ResetProcessStateForTests();
}
BENCHMARK(SearchMem128K)->Arg(1)->Arg(16);

}  // namespace
