#pragma once
// The Linux back end: real hardware through the kernel's own interfaces.
//
//   Ports      iopl(3) and IN/OUT when permitted; otherwise /dev/port, byte cycles only (a
//              16/32-bit access through /dev/port is not one bus cycle, so it fails).
//   PCI        the configuration cycle's address word is decoded and performed through
//              sysfs (/sys/bus/pci/devices/0000:BB:DD.F/config, 4096 bytes where the kernel
//              offers them), never by driving 0xCF8/0xCFC from user space, which would race
//              with the kernel's own configuration accesses. An absent function, or bytes
//              beyond what the kernel lets this process read, read as all ones, as the port
//              mechanism would.
//   Memory     /dev/mem opened O_SYNC (uncached) and mapped per request; every access has
//              the requested unit width, so MMIO registers see real 8/16/32-bit cycles.
//   MSRs       /dev/cpu/N/msr of the processor the thread runs on.
//   TSC        RDTSC.
//   CR, PMC    not reachable from user space: those operations fail.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/Machine.h"

namespace host {

// The OS probe's view of this Linux system: an NT-class version record (10.0), the
// architecture of the build (9 for x86-64, 0 for 32-bit x86) and the online processors.
bool HostOsVersion(TOsVersionInfo& info);

// CPUID executed by this process (user mode needs no driver for it); zeros elsewhere.
void NativeCpuid(TCpuidRegisters& regs);

// Names of the loaded kernel modules (/proc/modules); empty when it cannot be read.
std::vector<std::string> LoadedKernelModules();

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
  std::uint32_t ProcessorCount() override;
  bool SetAffinity(std::uint64_t mask) override;
  bool QueryOsVersion(TOsVersionInfo& info) override { return host::HostOsVersion(info); }

  // The sysfs directory of PCI devices (tests point it elsewhere).
  std::string PciRoot = "/sys/bus/pci/devices";

 private:
  TLinuxMachine() = default;
  int PciConfigFile(std::uint32_t address, bool write);
  bool MapAndMove(std::uint64_t address, void* buffer, std::uint32_t length, unsigned unit,
                  bool write);

  bool m_Iopl = false;
  int m_PortFd = -1;
  int m_MemFd = -1;
  std::map<std::uint32_t, int> m_PciFiles;  // bdf << 1 | write -> descriptor (-1 absent)
};
