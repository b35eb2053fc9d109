#pragma once
// TKernelMachine: the machine layer of the kernel driver OrvDrv101.sys, on which it
// instantiates the shared dispatcher (hwaccess/DriverDispatch.h). Every operation is the
// processor instruction itself, run in the context of the thread that sent the request:
// IN and OUT, the CF8/CFC pair of PCI configuration mechanism #1, RDMSR/WRMSR, RDTSC,
// RDPMC and moves to and from the control registers. Physical memory is mapped non-cached
// with MmMapIoSpace and moved in accesses of the request's unit, in ascending order.
//
// The dispatcher has checked the record before any of this runs (lengths, Unit, Length,
// control-register index). The caller's Buffer of a memory request is checked here: it
// must lie wholly in the user address space of a user-mode caller and be secured there
// (MmSecureVirtualMemory) for the whole copy, so a bad pointer is refused with 0xC000000D
// instead of faulting inside the kernel.

#include "hwaccess/kernel/KernelHeaders.h"

#include <cstdint>

#include "hwaccess/DriverDispatch.h"

class TKernelMachine {
 public:
  explicit TKernelMachine(KPROCESSOR_MODE requestor) : m_Requestor(requestor) {}

  bool PortRead(std::uint16_t port, unsigned width, std::uint32_t& value) {
    value = In(port, width);
    return true;
  }
  bool PortWrite(std::uint16_t port, unsigned width, std::uint32_t value) {
    Out(port, width, value);
    return true;
  }
  // The address word to 0xCF8 as a dword, then the data port with the request's width.
  bool PciConfigRead(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                     std::uint32_t& value) {
    Out(0xCF8, 4, address);
    value = In(dataPort, width);
    return true;
  }
  bool PciConfigWrite(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                      std::uint32_t value) {
    Out(0xCF8, 4, address);
    Out(dataPort, width, value);
    return true;
  }

  std::uint32_t MoveMemory(bool write, std::uint64_t address, std::uint64_t buffer,
                           std::uint32_t length, unsigned unit) {
    if (buffer > static_cast<std::uint64_t>(MAXULONG_PTR)) return drv::kStatusInvalidParameter;
    auto* caller = reinterpret_cast<unsigned char*>(static_cast<ULONG_PTR>(buffer));
    HANDLE secured = nullptr;
    if (m_Requestor == UserMode) {
      const ULONG_PTR end = static_cast<ULONG_PTR>(buffer) + length;
      if (end < static_cast<ULONG_PTR>(buffer) || end > static_cast<ULONG_PTR>(MmUserProbeAddress)) {
        return drv::kStatusInvalidParameter;
      }
      // The caller's pages stay committed and keep their protection until the copy ends.
      secured = MmSecureVirtualMemory(caller, length, write ? PAGE_READONLY : PAGE_READWRITE);
      if (secured == nullptr) return drv::kStatusInvalidParameter;
    }
    PHYSICAL_ADDRESS physical;
    physical.QuadPart = static_cast<LONGLONG>(address);
    void* mapping = MmMapIoSpace(physical, length, MmNonCached);
    if (mapping == nullptr) {
      if (secured != nullptr) MmUnsecureVirtualMemory(secured);
      return drv::kStatusUnsuccessful;
    }
    auto* device = static_cast<unsigned char*>(mapping);
    for (std::uint32_t offset = 0; offset < length; offset += unit) {
      if (write) {
        CopyUnit(device + offset, caller + offset, unit);
      } else {
        CopyUnit(caller + offset, device + offset, unit);
      }
    }
    MmUnmapIoSpace(mapping, length);
    if (secured != nullptr) MmUnsecureVirtualMemory(secured);
    return drv::kStatusSuccess;
  }

  bool ReadMsr(std::uint32_t index, std::uint64_t& value) {
    std::uint32_t low, high;
    asm volatile("rdmsr" : "=a"(low), "=d"(high) : "c"(index));
    value = static_cast<std::uint64_t>(high) << 32 | low;
    return true;
  }
  bool WriteMsr(std::uint32_t index, std::uint64_t value) {
    asm volatile("wrmsr" ::"c"(index), "a"(static_cast<std::uint32_t>(value)),
                 "d"(static_cast<std::uint32_t>(value >> 32)));
    return true;
  }
  bool ReadTsc(std::uint64_t& value) {
    std::uint32_t low, high;
    asm volatile("rdtsc" : "=a"(low), "=d"(high));
    value = static_cast<std::uint64_t>(high) << 32 | low;
    return true;
  }
  bool ReadPmc(std::uint32_t index, std::uint64_t& value) {
    std::uint32_t low, high;
    asm volatile("rdpmc" : "=a"(low), "=d"(high) : "c"(index));
    value = static_cast<std::uint64_t>(high) << 32 | low;
    return true;
  }

  // Control registers are as wide as the build (the dispatcher sign-extends the 32-bit
  // build's value). The 32-bit build reaches CR8 through the LOCK-prefixed move of CR0.
  bool ReadCr(std::uint32_t index, std::uint64_t& value) {
    ULONG_PTR v = 0;
    switch (index) {
      case 0: asm volatile("mov %%cr0, %0" : "=r"(v)); break;
      case 2: asm volatile("mov %%cr2, %0" : "=r"(v)); break;
      case 3: asm volatile("mov %%cr3, %0" : "=r"(v)); break;
      case 4: asm volatile("mov %%cr4, %0" : "=r"(v)); break;
#ifdef _WIN64
      case 8: asm volatile("mov %%cr8, %0" : "=r"(v)); break;
#else
      case 8: asm volatile(".byte 0xF0\n\tmov %%cr0, %0" : "=r"(v)); break;
#endif
      default: return false;
    }
    value = v;
    return true;
  }
  bool WriteCr(std::uint32_t index, std::uint64_t value) {
    const auto v = static_cast<ULONG_PTR>(value);
    switch (index) {
      case 0: asm volatile("mov %0, %%cr0" ::"r"(v) : "memory"); break;
      case 3: asm volatile("mov %0, %%cr3" ::"r"(v) : "memory"); break;
      case 4: asm volatile("mov %0, %%cr4" ::"r"(v) : "memory"); break;
#ifdef _WIN64
      case 8: asm volatile("mov %0, %%cr8" ::"r"(v) : "memory"); break;
#else
      case 8: asm volatile(".byte 0xF0\n\tmov %0, %%cr0" ::"r"(v) : "memory"); break;
#endif
      default: return false;
    }
    return true;
  }

  // Real hardware never fails a request as a whole.
  std::uint32_t InjectedStatus(std::uint32_t) { return 0; }
  // The page-mapping codes belong to the Windows 9x build; the NT dispatcher never calls
  // these.
  std::uint32_t MapPage(void*, std::uint32_t&) { return drv::kStatusInvalidParameter; }
  std::uint32_t UnmapPage(void*) { return drv::kStatusInvalidParameter; }

 private:
  static std::uint32_t In(std::uint16_t port, unsigned width) {
    if (width == 1) {
      std::uint8_t v;
      asm volatile("inb %w1, %b0" : "=a"(v) : "Nd"(port));
      return v;
    }
    if (width == 2) {
      std::uint16_t v;
      asm volatile("inw %w1, %w0" : "=a"(v) : "Nd"(port));
      return v;
    }
    std::uint32_t v;
    asm volatile("inl %w1, %0" : "=a"(v) : "Nd"(port));
    return v;
  }
  static void Out(std::uint16_t port, unsigned width, std::uint32_t value) {
    if (width == 1) {
      asm volatile("outb %b0, %w1" ::"a"(static_cast<std::uint8_t>(value)), "Nd"(port));
    } else if (width == 2) {
      asm volatile("outw %w0, %w1" ::"a"(static_cast<std::uint16_t>(value)), "Nd"(port));
    } else {
      asm volatile("outl %0, %w1" ::"a"(value), "Nd"(port));
    }
  }
  // One access of `unit` bytes; volatile, so the compiler neither merges nor splits it.
  static void CopyUnit(unsigned char* to, const unsigned char* from, unsigned unit) {
    if (unit == 1) {
      *reinterpret_cast<volatile std::uint8_t*>(to) = *reinterpret_cast<const volatile std::uint8_t*>(from);
    } else if (unit == 2) {
      *reinterpret_cast<volatile std::uint16_t*>(to) = *reinterpret_cast<const volatile std::uint16_t*>(from);
    } else {
      *reinterpret_cast<volatile std::uint32_t*>(to) = *reinterpret_cast<const volatile std::uint32_t*>(from);
    }
  }

  KPROCESSOR_MODE m_Requestor;
};
