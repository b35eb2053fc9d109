#pragma once
// The primitive machine operations that the access driver performs on behalf of the tool.
//
// Two back ends implement it: the Linux back end (real hardware through the kernel's own
// interfaces) and the virtual board (sim/). The access driver's dispatcher turns each
// request record into exactly one of these calls, so a back end sees the same widths and
// the same order of bus cycles that the hardware would.
//
// Every operation reports whether the back end could perform it. A failed read leaves the
// value untouched; callers above the driver turn failures into all-ones values.

#include <cstdint>

// The facts the OS probe classifies: the Windows version record and the native system
// information (platformId 1 = Windows 9x, 2 = NT; architecture 0 x86, 6 Itanium, 9 x64).
struct TOsVersionInfo {
  std::uint32_t PlatformId = 2;
  std::uint32_t Major = 10;
  std::uint32_t Minor = 0;
  std::uint32_t Architecture = 9;
  std::uint32_t ProcessorCount = 1;
  // True when the process runs under the 32-bit emulation layer of a 64-bit Windows.
  bool Wow64 = false;
};

struct TCpuidRegisters {
  std::uint32_t Eax = 0;
  std::uint32_t Ebx = 0;
  std::uint32_t Ecx = 0;
  std::uint32_t Edx = 0;
};

class TMachine {
 public:
  virtual ~TMachine() = default;

  // I/O ports; width is 1, 2 or 4 bytes.
  virtual bool PortRead(std::uint16_t port, unsigned width, std::uint32_t& value) = 0;
  virtual bool PortWrite(std::uint16_t port, unsigned width, std::uint32_t value) = 0;

  // One PCI configuration cycle of configuration mechanism #1: `address` is the word the
  // driver writes to 0xCF8 (enable bit, extended register bits 27..24, bus, device,
  // function, dword-aligned register), `dataPort` is 0xCFC..0xCFF, width 1, 2 or 4.
  virtual bool PciConfigRead(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                             std::uint32_t& value) = 0;
  virtual bool PciConfigWrite(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                              std::uint32_t value) = 0;

  // Physical memory, moved in accesses of `unit` bytes (1, 2 or 4) at ascending addresses.
  // `length` is a multiple of `unit`. False when the range cannot be mapped; then nothing
  // was moved.
  virtual bool MemoryRead(std::uint64_t address, void* buffer, std::uint32_t length,
                          unsigned unit) = 0;
  virtual bool MemoryWrite(std::uint64_t address, const void* buffer, std::uint32_t length,
                           unsigned unit) = 0;

  // Processor registers of the processor the calling thread runs on.
  virtual bool ReadMsr(std::uint32_t index, std::uint64_t& value) = 0;
  virtual bool WriteMsr(std::uint32_t index, std::uint64_t value) = 0;
  virtual bool ReadTsc(std::uint64_t& value) = 0;
  virtual bool ReadPmc(std::uint32_t index, std::uint64_t& value) = 0;
  // Control registers CR0, CR2, CR3, CR4, CR8 (the driver has already checked the index).
  virtual bool ReadCr(std::uint32_t index, std::uint64_t& value) = 0;
  virtual bool WriteCr(std::uint32_t index, std::uint64_t value) = 0;
  // CPUID with EAX/ECX taken from `regs`; all four outputs stored back.
  virtual void Cpuid(TCpuidRegisters& regs) = 0;

  // Logical processors and the process's affinity.
  virtual std::uint32_t ProcessorCount() = 0;
  virtual bool SetAffinity(std::uint64_t mask) = 0;

  // The operating system as the OS probe sees it on this back end; false when it cannot be
  // queried (the probe then reports class 0 and no driver is loaded).
  virtual bool QueryOsVersion(TOsVersionInfo& info) = 0;

  // A status with which the access driver fails a request of `code` before performing it
  // (fault injection of the virtual board); 0 lets the request through. Real back ends
  // never fail a request as a whole.
  virtual std::uint32_t InjectedStatus(std::uint32_t code) {
    (void)code;
    return 0;
  }
};
