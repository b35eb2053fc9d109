#pragma once
// TVirtualBoard: a register-level model of a whole board, one back end of the access
// driver next to the Linux back end. It is described by a board file (docs/board-file.md)
// and records every primitive access in its trace (sim/AccessTrace.h).
//
// What it models:
//   - I/O ports: port devices (sim/PortDevice.h) claim ranges; unclaimed ports read all
//     ones and ignore writes. Ports 0xCF8 and 0xCFC..0xCFF are the PCI configuration
//     mechanism #1 pair (with the extended register bits 27..24 of the address word).
//   - PCI functions (sim/PciFunction.h), reached through 0xCF8/0xCFC and through the ECAM
//     window in physical memory. Absent functions read all ones.
//   - Physical memory: regions of bytes and memory-mapped devices (sim/MemoryDevice.h).
//     Addresses covered by neither are unmapped: a request touching them fails as a whole
//     and moves nothing, as the driver's mapping would fail.
//   - MSRs, control registers, TSC, performance counters, CPUID leaves, processor count
//     and affinity, and the operating system the OS probe sees.
//   - Fault injection: ports, PCI functions and memory ranges that fail, and request codes
//     that the driver fails before performing them.
//
// In-process tests put a board under the tool's singletons with Install(); the driver
// loader then opens it instead of GAVRELO_BOARD or the Linux back end:
//
//     gavrelo::ResetProcessStateForTests();
//     TVirtualBoard& board = TVirtualBoard::Install(TVirtualBoard::FromJson(R"({...})"_json));
//     TReadWrite::Instance().ReadIoByte(0x2F);     // reaches `board`
//     EXPECT_EQ(board.Trace().PortCycles(), ...);
//
// The installed board belongs to the process state: ResetProcessStateForTests() destroys it.
//
// Other subsystems extend the board without editing this file: they add port devices,
// memory regions or devices and PCI functions from a board-file section of their own
// (sim/BoardSections.h).

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "host/Machine.h"
#include "sim/AccessTrace.h"
#include "sim/MemoryDevice.h"
#include "sim/PciFunction.h"
#include "sim/PortDevice.h"

class TVirtualBoard : public TMachine {
 public:
  TVirtualBoard();
  ~TVirtualBoard() override;
  TVirtualBoard(const TVirtualBoard&) = delete;
  TVirtualBoard& operator=(const TVirtualBoard&) = delete;

  // Loading. Both throw std::runtime_error naming the offending field. Relative image
  // names resolve against `boardDir` (FromFile: the board file's directory).
  static std::unique_ptr<TVirtualBoard> FromFile(const std::filesystem::path& file);
  static std::unique_ptr<TVirtualBoard> FromJson(const nlohmann::json& description,
                                                 const std::filesystem::path& boardDir = {});

  // The test seam: the board the loader opens instead of any other back end (see above).
  static TVirtualBoard& Install(std::unique_ptr<TVirtualBoard> board);
  static TVirtualBoard* Installed();

  // Building the board (used by the loader and by board-file sections).
  // Throws std::runtime_error when a port is already claimed.
  TPortDevice& AddPortDevice(std::unique_ptr<TPortDevice> device);
  TPciFunction& AddPciFunction(std::uint16_t bdf, std::unique_ptr<TPciFunction> function);
  TPciFunction* PciFunction(std::uint16_t bdf);
  // Throw std::runtime_error when the range overlaps another region or device.
  void AddMemoryRegion(std::uint64_t base, std::vector<std::uint8_t> bytes, bool readOnly = false);
  TMemoryDevice& AddMemoryDevice(std::uint64_t base, std::uint64_t size,
                                 std::unique_ptr<TMemoryDevice> device);
  // ECAM window: `buses` buses of 1 MiB from `base`. base 0 removes it.
  void SetEcamWindow(std::uint64_t base, unsigned buses = 256);
  std::uint64_t EcamBase() const { return m_EcamBase; }
  // The device claiming `port`, or null.
  TPortDevice* PortDeviceAt(std::uint16_t port);
  // The memory-mapped device covering `address`, or null.
  TMemoryDevice* MemoryDeviceAt(std::uint64_t address);
  const std::vector<std::unique_ptr<TPortDevice>>& PortDevices() const { return m_Ports; }

  // Direct access to board state (no trace, no faults), for tests and sections.
  bool PeekMemory(std::uint64_t address, void* buffer, std::uint32_t length) const;
  bool PokeMemory(std::uint64_t address, const void* buffer, std::uint32_t length);

  struct TCpuidLeaf {
    std::uint32_t Leaf = 0;
    std::uint32_t Subleaf = 0;
    bool AnySubleaf = true;
    TCpuidRegisters Out;
  };
  std::map<std::uint32_t, std::uint64_t> Msrs;
  std::array<std::uint64_t, 9> ControlRegisters{};  // CR0..CR8 by index
  std::uint64_t Tsc = 0;
  std::uint64_t TscStep = 1000;  // added after every read, so the counter moves
  std::map<std::uint32_t, std::uint64_t> Pmcs;
  std::vector<TCpuidLeaf> CpuidLeaves;
  std::uint32_t Processors = 1;
  std::uint64_t AffinityMask = 1;
  TOsVersionInfo Os;  // ProcessorCount comes from Processors
  bool OsQueryFails = false;

  // Fault injection.
  struct TMemoryFault {
    std::uint64_t Base;
    std::uint64_t Size;
  };
  struct TRequestFault {
    std::uint32_t Status = 0xC0000001;
    std::int64_t Remaining = -1;  // requests still to fail; -1 = every one
  };
  void FailPort(std::uint16_t first, std::uint16_t last);
  void FailPciFunction(std::uint16_t bdf) { m_FailedPci[bdf] = true; }
  void FailMemory(std::uint64_t base, std::uint64_t size) { m_FailedMemory.push_back({base, size}); }
  void FailRequest(std::uint32_t code, std::uint32_t status = 0xC0000001, std::int64_t count = -1) {
    m_FailedRequests[code] = {status, count};
  }

  TAccessTrace& Trace() { return m_Trace; }
  // The board file's "description", for reports.
  std::string Description;

  // Config-space access as the two PCI mechanisms decode it (traced as PCI events).
  bool PciRead(std::uint16_t bdf, std::uint16_t reg, unsigned width, std::uint32_t& value);
  bool PciWrite(std::uint16_t bdf, std::uint16_t reg, unsigned width, std::uint32_t value);

  // TMachine
  bool PortRead(std::uint16_t port, unsigned width, std::uint32_t& value) override;
  bool PortWrite(std::uint16_t port, unsigned width, std::uint32_t value) override;
  bool PciConfigRead(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                     std::uint32_t& value) override;
  bool PciConfigWrite(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                      std::uint32_t value) override;
  bool MemoryRead(std::uint64_t address, void* buffer, std::uint32_t length,
                  unsigned unit) override;
  bool MemoryWrite(std::uint64_t address, const void* buffer, std::uint32_t length,
                   unsigned unit) override;
  bool ReadMsr(std::uint32_t index, std::uint64_t& value) override;
  bool WriteMsr(std::uint32_t index, std::uint64_t value) override;
  bool ReadTsc(std::uint64_t& value) override;
  bool ReadPmc(std::uint32_t index, std::uint64_t& value) override;
  bool ReadCr(std::uint32_t index, std::uint64_t& value) override;
  bool WriteCr(std::uint32_t index, std::uint64_t value) override;
  void Cpuid(TCpuidRegisters& regs) override;
  std::uint32_t ProcessorCount() override { return Processors; }
  bool SetAffinity(std::uint64_t mask) override;
  bool QueryOsVersion(TOsVersionInfo& info) override;
  std::uint32_t InjectedStatus(std::uint32_t code) override;

 private:
  struct TRange {
    std::uint64_t Base = 0;
    std::uint64_t Size = 0;
    std::vector<std::uint8_t> Bytes;  // a region
    bool ReadOnly = false;
    TMemoryDevice* Device = nullptr;  // or a device
    bool Ecam = false;                // or the ECAM window
  };
  const TRange* FindRange(std::uint64_t address) const;
  TRange* FindRange(std::uint64_t address);
  void InsertRange(TRange range);
  bool MemoryMapped(std::uint64_t address, std::uint32_t length) const;
  std::uint32_t RangeRead(TRange& range, std::uint64_t address, unsigned width);
  void RangeWrite(TRange& range, std::uint64_t address, unsigned width, std::uint32_t value);
  TTraceEvent MemoryEvent(TTraceKind kind, std::uint64_t address, std::uint32_t length,
                          unsigned unit) const;
  template <typename Bytes, typename Registers>
  void WalkRanges(std::uint64_t address, std::uint32_t length, unsigned unit, Bytes&& bytes,
                  Registers&& registers);
  bool PciFailed(std::uint16_t bdf) const;
  bool RegisterRead(TTraceKind kind, std::uint32_t index, const std::uint64_t* slot,
                    std::uint64_t& value);
  bool RegisterWrite(TTraceKind kind, std::uint32_t index, std::uint64_t* slot,
                     std::uint64_t value);
  std::uint64_t* ControlRegister(std::uint32_t index);  // null past CR8

  std::vector<std::unique_ptr<TPortDevice>> m_Ports;
  std::vector<std::int16_t> m_PortOwner;  // 65536 entries: index into m_Ports, -1 none
  std::vector<bool> m_FailedPorts;        // 65536 entries
  std::map<std::uint16_t, std::unique_ptr<TPciFunction>> m_Pci;
  std::map<std::uint16_t, bool> m_FailedPci;
  std::vector<TRange> m_Ranges;  // sorted by base, not overlapping
  std::vector<std::unique_ptr<TMemoryDevice>> m_MemoryDevices;
  std::uint64_t m_EcamBase = 0;
  std::vector<TMemoryFault> m_FailedMemory;
  std::map<std::uint32_t, TRequestFault> m_FailedRequests;
  TAccessTrace m_Trace;
};
