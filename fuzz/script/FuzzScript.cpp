// Runs each input as a script on a virtual board with a Super I/O pair, PCI functions,
// memory, MSRs and CPUID leaves. Each input runs twice on one interpreter: the second run
// takes the compiled form from the cache and the variables the first run left.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "hwaccess/ReadWrite.h"
#include "script/Interpreter.h"
#include "sim/PciFunction.h"
#include "sim/RegisterPorts.h"
#include "sim/VirtualBoard.h"

namespace {

void InstallBoard() {
  auto board = std::make_unique<TVirtualBoard>();
  auto& sio = static_cast<TIndexDataPorts&>(
      board->AddPortDevice(std::make_unique<TIndexDataPorts>("sio", 0x2E, 0x2F)));
  sio.Registers[0x20] = 0x52;
  sio.Registers[0x21] = 0x17;
  board->AddPortDevice(std::make_unique<TRegisterPorts>("post", 0x80, std::vector<std::uint8_t>(4, 0), false));
  board->AddPciFunction(0x0000, std::make_unique<TPciFunction>(
                                    TPciFunction::Header(0x8086, 0x5904, 0x060000, 2, 0x80, 4096)));
  board->AddPciFunction(0x00FB, std::make_unique<TPciFunction>(
                                    TPciFunction::Header(0x8086, 0x9D71, 0x040300, 0x21, 0, 4096)));
  board->SetEcamWindow(0xE0000000, 4);
  std::vector<std::uint8_t> rom(0x10000, 0);
  std::memcpy(rom.data() + 0x100, "$CN1368$", 8);
  board->AddMemoryRegion(0xF0000, rom);
  board->Msrs[0x1B] = 0xFEE00900;
  board->Msrs[0x10] = 0;
  board->Processors = 2;
  TVirtualBoard::TCpuidLeaf vendor;
  vendor.Out = {0x16, 0x756E6547, 0x6C65746E, 0x49656E69};
  board->CpuidLeaves.push_back(vendor);
  TVirtualBoard& installed = TVirtualBoard::Install(std::move(board));
  installed.Trace().SetKeeping(false);  // millions of cycles over a run
  TReadWrite::Instance().PcieBase = 0xE0000000;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool installed = (InstallBoard(), true);
  (void)installed;
  if (size > 8192) return 0;  // scripts are short; longer inputs add nothing but time

  TInterpreter interpreter;
  interpreter.SetStatementBudget(2000);
  interpreter.SetSleepFunction([](std::uint32_t) {});
  interpreter.SetFileAccess(false);
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::int32_t result = 0;
  interpreter.Run(text, result);
  interpreter.Run(text, result);
  return 0;
}
