#pragma once
// The Linux back end: real hardware through the kernel's own interfaces.
//
//   Ports      iopl(3) and IN/OUT when permitted; otherwise /dev/port, byte cycles only (a
//              16/32-bit access through /dev/port is not one bus cycle, so it fails).
//              PortAccessMode() says which of the two is in use.
//   PCI        the configuration cycle's address word is decoded and performed through
//              sysfs (/sys/bus/pci/devices/0000:BB:DD.F/config, 4096 bytes where the kernel
//              offers them), never by driving 0xCF8/0xCFC from user space, which would race
//              with the kernel's own configuration accesses. A function without a config
//              file is absent and reads all ones, as on the bus; registers beyond the
//              function's space (256 bytes for a conventional one) read all ones too. A
//              file that exists but cannot be opened (no permission, read-only mount) fails
//              the request, and so do bytes the kernel holds back: without CAP_SYS_ADMIN it
//              shows only the first 64 bytes of configuration space.
//   Memory     /dev/mem opened O_SYNC (uncached) and mapped per request; every access has
//              the requested unit width, so MMIO registers see real 8/16/32-bit cycles. A
//              16/32-bit unit at an address that is not a multiple of its width is split
//              into byte accesses at ascending addresses (firmware tables put dwords at odd
//              addresses; a misaligned pointer is never dereferenced). What a stock kernel
//              refuses (strict /dev/mem, PAT) is handled below (MemoryRead).
//   MSRs       /dev/cpu/N/msr of the processor the thread runs on.
//   TSC        RDTSC.
//   CR, PMC    not reachable from user space: those operations fail.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/Machine.h"

namespace host {

// The OS probe's view of this Linux system: an NT-class version record (10.0), the
// architecture of the build (9 for x86-64, 0 for 32-bit x86) and the online processors.
bool HostOsVersion(TOsVersionInfo& info);

// CPUID executed by this process (user mode needs no driver for it); zeros elsewhere.
void NativeCpuid(TCpuidRegisters& regs);

// Names of the kernel drivers present: the loaded modules (/proc/modules) and every module
// the kernel knows by name under /sys/module, which includes drivers built into the kernel
// (those with parameters or a version). Empty when neither can be read.
std::vector<std::string> KernelDrivers(const std::string& procModules = "/proc/modules",
                                       const std::string& sysModule = "/sys/module");

}  // namespace host

class TLinuxMachine : public TMachine {
 public:
  // Opens the interfaces. Null when ports or physical memory are not reachable; `why`
  // then names each interface that failed and the reason ("iopl(3): Operation not
  // permitted; /dev/port: Permission denied").
  static std::unique_ptr<TLinuxMachine> Open(std::string& why);
  // A machine with PCI configuration through the sysfs tree at `pciRoot` only: every
  // other interface fails. For tests of the configuration-cycle decoding.
  static std::unique_ptr<TLinuxMachine> PciOnly(const std::string& pciRoot);
  ~TLinuxMachine() override;

  bool DirectPorts() const { return m_Iopl; }
  // "iopl" or "/dev/port" with what each allows, for --debug and gavreloctl info.
  std::string PortAccessMode() const;

  // Every request this process put to the hardware through the back end, by kind, counted
  // whether or not it succeeded, with the first kListedTargets distinct targets of each kind
  // (port, bus:device.function and register, physical address, MSR index). gavreloctl
  // --debug prints it when a command ends: a command that must leave a block alone shows
  // on real hardware that it did (no port cycle at all, no configuration write).
  enum class TAccessKind { PortRead, PortWrite, PciRead, PciWrite, MemoryRead, MemoryWrite,
                           MsrRead, MsrWrite };
  static constexpr std::size_t kAccessKinds = 8;
  static constexpr std::size_t kListedTargets = 16;
  struct TAccessTally {
    std::uint64_t Count = 0;
    std::set<std::uint64_t> Targets;  // at most kListedTargets
  };
  const TAccessTally& Accesses(TAccessKind kind) const {
    return m_Accesses[static_cast<std::size_t>(kind)];
  }
  // "port reads none; port writes 2: 0x70, 0x71; PCI configuration reads 2: 00:1f.0 0x48,
  // 00:1f.0 0x58; ...", every kind in the order of TAccessKind.
  std::string AccessSummary() const;

  // Receives one line for each thing the kernel refused (a physical range and its errno,
  // a PCI function's config file), once per range or function. Set by the loader when the
  // debug console is on.
  std::function<void(const std::string&)> Notice;

  bool PortRead(std::uint16_t port, unsigned width, std::uint32_t& value) override;
  bool PortWrite(std::uint16_t port, unsigned width, std::uint32_t value) override;
  bool PciConfigRead(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                     std::uint32_t& value) override;
  bool PciConfigWrite(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                      std::uint32_t value) override;
  // A range that the uncached mapping cannot reach is tried, in this order:
  //   - refused with EAGAIN (PAT: the kernel maps the range write-back, so it is memory,
  //     such as the pages of the ACPI tables): read through a cached mapping, the type
  //     the kernel itself uses; writes stay refused;
  //   - inside the PCI Express configuration window (/proc/iomem "PCI MMCONFIG", which
  //     strict /dev/mem refuses): each unit becomes a configuration access through sysfs,
  //     as a configuration cycle does;
  //   - reads of firmware tables: the kernel's exported copies, placed at their physical
  //     addresses (FirmwareTableCopies).
  // Anything else fails, and Notice hears the range and the errno.
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
  std::uint32_t ProcessorCount() override;
  bool SetAffinity(std::uint64_t mask) override;
  bool QueryOsVersion(TOsVersionInfo& info) override { return host::HostOsVersion(info); }

  // A firmware table the kernel exports, at the physical address it came from.
  struct TTableCopy {
    std::uint64_t Address = 0;
    std::vector<std::uint8_t> Bytes;
    std::string Name;
  };
  // The copies that can be placed: the SMBIOS structure table at the address its exported
  // entry point names, and the FACS and DSDT at the addresses the exported FADT names.
  // (The kernel exports no root table, so the addresses of the other ACPI tables are not
  // known from the copies; their pages are reachable through the mapping rules above.)
  static std::vector<TTableCopy> FirmwareTableCopies(const std::string& firmwareRoot);

  // The sysfs directory of PCI devices, the firmware directory and the resource map
  // (tests point them elsewhere).
  std::string PciRoot = "/sys/bus/pci/devices";
  std::string FirmwareRoot = "/sys/firmware";
  std::string IomemPath = "/proc/iomem";

 protected:
  TLinuxMachine() = default;
  // Maps `span` bytes of physical memory at page-aligned `base`; null with `error` set
  // when the kernel refuses. `cached` asks for the kernel's own (write-back) mapping type.
  virtual void* MapPhysical(std::uint64_t base, std::uint64_t span, bool write, bool cached,
                            int& error);
  virtual void UnmapPhysical(void* mapping, std::uint64_t span);

 private:
  struct TPciFile {
    int Fd = -1;
    int Error = 0;       // errno of the open; ENOENT: the function is absent
    std::uint64_t Size = 0;  // bytes of configuration space the file offers
  };
  struct TEcamWindow {
    std::uint64_t Base = 0;
    std::uint64_t End = 0;  // inclusive
    unsigned FirstBus = 0;
  };
  TPciFile& PciFile(std::uint32_t bdf, bool write);
  bool PciFileRead(std::uint32_t bdf, std::uint32_t reg, unsigned width, std::uint32_t& value);
  bool PciFileWrite(std::uint32_t bdf, std::uint32_t reg, unsigned width, std::uint32_t value);
  bool MoveMapped(std::uint64_t address, std::uint8_t* data, std::uint32_t length,
                  unsigned unit, bool write, bool cached, int& error);
  bool MoveEcam(std::uint64_t address, std::uint8_t* data, std::uint32_t length, unsigned unit,
                bool write, bool& inside);
  bool ReadTableCopy(std::uint64_t address, std::uint8_t* data, std::uint32_t length);
  bool MapAndMove(std::uint64_t address, std::uint8_t* data, std::uint32_t length,
                  unsigned unit, bool write);
  void NoteOnce(const std::string& key, const std::string& text);
  void Count(TAccessKind kind, std::uint64_t target);

  bool m_Iopl = false;
  int m_PortFd = -1;
  int m_MemFd = -1;
  int m_CachedMemFd = -1;
  std::map<std::uint32_t, TPciFile> m_PciFiles;  // bdf << 1 | write
  std::vector<TEcamWindow> m_Ecam;
  bool m_EcamRead = false;
  std::vector<TTableCopy> m_TableCopies;
  bool m_TableCopiesRead = false;
  std::set<std::string> m_Noted;
  TAccessTally m_Accesses[kAccessKinds];
};
