#include "host/LinuxMachine.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <sys/io.h>
#include <x86intrin.h>
#define GAVRELO_X86 1
#endif

namespace host {

bool HostOsVersion(TOsVersionInfo& info) {
  // Linux takes the NT driver paths; it reports the newest class (10.0) so nothing
  // version-dependent is held back.
  info.PlatformId = 2;
  info.Major = 10;
  info.Minor = 0;
#if defined(__x86_64__)
  info.Architecture = 9;
#else
  info.Architecture = 0;
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  info.ProcessorCount = online > 0 ? static_cast<std::uint32_t>(online) : 1;
  info.Wow64 = false;
  return true;
}

void NativeCpuid(TCpuidRegisters& regs) {
#if defined(GAVRELO_X86)
  unsigned a, b, c, d;
  __cpuid_count(regs.Eax, regs.Ecx, a, b, c, d);
  regs = {a, b, c, d};
#else
  regs = {};
#endif
}

std::vector<std::string> LoadedKernelModules() {
  std::vector<std::string> names;
  std::ifstream modules("/proc/modules");
  std::string line;
  // Bounded: a module list has a few hundred lines.
  while (names.size() < 100000 && std::getline(modules, line)) {
    names.push_back(line.substr(0, line.find(' ')));
  }
  return names;
}

}  // namespace host

namespace {
std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }
}  // namespace

std::unique_ptr<TLinuxMachine> TLinuxMachine::Open(std::string& why) {
  std::unique_ptr<TLinuxMachine> machine(new TLinuxMachine());
  std::string problems;
  bool ports = false;
#if defined(GAVRELO_X86)
  if (iopl(3) == 0) {
    machine->m_Iopl = true;
    ports = true;
  } else {
    problems = ErrnoText("iopl(3)");
  }
#else
  problems = "iopl(3): not available on this processor";
#endif
  if (!ports) {
    machine->m_PortFd = open("/dev/port", O_RDWR | O_CLOEXEC);
    if (machine->m_PortFd >= 0) {
      ports = true;
    } else {
      problems += "; " + ErrnoText("/dev/port");
    }
  }
  machine->m_MemFd = open("/dev/mem", O_RDWR | O_SYNC | O_CLOEXEC);
  if (machine->m_MemFd < 0) {
    if (!problems.empty()) problems += "; ";
    problems += ErrnoText("/dev/mem");
  }
  if (!ports || machine->m_MemFd < 0) {
    why = problems;
    return nullptr;
  }
  why.clear();
  return machine;
}

std::unique_ptr<TLinuxMachine> TLinuxMachine::PciOnly(const std::string& pciRoot) {
  std::unique_ptr<TLinuxMachine> machine(new TLinuxMachine());
  machine->PciRoot = pciRoot;
  return machine;
}

TLinuxMachine::~TLinuxMachine() {
  if (m_PortFd >= 0) close(m_PortFd);
  if (m_MemFd >= 0) close(m_MemFd);
  for (auto& [key, fd] : m_PciFiles) {
    if (fd >= 0) close(fd);
  }
}

bool TLinuxMachine::PortRead(std::uint16_t port, unsigned width, std::uint32_t& value) {
#if defined(GAVRELO_X86)
  if (m_Iopl) {
    value = width == 1 ? inb(port) : width == 2 ? inw(port) : inl(port);
    return true;
  }
#endif
  if (m_PortFd < 0 || width != 1) return false;
  std::uint8_t byte = 0;
  if (pread(m_PortFd, &byte, 1, port) != 1) return false;
  value = byte;
  return true;
}

bool TLinuxMachine::PortWrite(std::uint16_t port, unsigned width, std::uint32_t value) {
#if defined(GAVRELO_X86)
  if (m_Iopl) {
    if (width == 1) {
      outb(static_cast<unsigned char>(value), port);
    } else if (width == 2) {
      outw(static_cast<unsigned short>(value), port);
    } else {
      outl(value, port);
    }
    return true;
  }
#endif
  if (m_PortFd < 0 || width != 1) return false;
  const auto byte = static_cast<std::uint8_t>(value);
  return pwrite(m_PortFd, &byte, 1, port) == 1;
}

// The descriptor of the function's config file, or -1 when the function is absent.
int TLinuxMachine::PciConfigFile(std::uint32_t address, bool write) {
  const std::uint32_t bdf = (address >> 8) & 0xFFFF;
  const std::uint32_t key = bdf << 1 | (write ? 1 : 0);
  auto it = m_PciFiles.find(key);
  if (it != m_PciFiles.end()) return it->second;
  char path[160];
  std::snprintf(path, sizeof(path), "%s/0000:%02x:%02x.%x/config", PciRoot.c_str(), bdf >> 8,
                (bdf >> 3) & 0x1F, bdf & 7);
  const int fd = open(path, (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  m_PciFiles[key] = fd;
  return fd;
}

namespace {
std::uint16_t PciRegister(std::uint32_t address, std::uint16_t dataPort) {
  return static_cast<std::uint16_t>(((address >> 24) & 0xF) << 8 | (address & 0xFC) | (dataPort & 3));
}
}  // namespace

bool TLinuxMachine::PciConfigRead(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                                  std::uint32_t& value) {
  value = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
  if ((address & 0x80000000u) == 0) return true;
  const int fd = PciConfigFile(address, false);
  if (fd < 0) return true;  // no such function: all ones, as on the bus
  std::uint8_t bytes[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  const ssize_t got = pread(fd, bytes, width, PciRegister(address, dataPort));
  if (got < 0) return false;
  // Bytes the kernel does not show to this process (beyond 64 without privilege, beyond
  // 256 for a conventional function) stay all ones.
  std::uint32_t result = 0;
  for (unsigned i = 0; i < width; ++i) result |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  value = result;
  return true;
}

bool TLinuxMachine::PciConfigWrite(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                                   std::uint32_t value) {
  if ((address & 0x80000000u) == 0) return true;
  const int fd = PciConfigFile(address, true);
  if (fd < 0) return true;  // no such function: the cycle goes nowhere
  std::uint8_t bytes[4];
  for (unsigned i = 0; i < width; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return pwrite(fd, bytes, width, PciRegister(address, dataPort)) == static_cast<ssize_t>(width);
}

bool TLinuxMachine::MapAndMove(std::uint64_t address, void* buffer, std::uint32_t length,
                               unsigned unit, bool write) {
  if (m_MemFd < 0 || (unit != 1 && unit != 2 && unit != 4) || length % unit != 0) return false;
  if (length == 0) return true;
  const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  const std::uint64_t base = address & ~(page - 1);
  const std::uint64_t span = address - base + length;
  void* mapping = mmap(nullptr, span, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED,
                       m_MemFd, static_cast<off_t>(base));
  if (mapping == MAP_FAILED) return false;
  auto* at = static_cast<std::uint8_t*>(mapping) + (address - base);
  auto* data = static_cast<std::uint8_t*>(buffer);
  // Volatile accesses of exactly the unit width, in ascending order.
  for (std::uint32_t i = 0; i < length; i += unit) {
    if (unit == 1) {
      auto* reg = reinterpret_cast<volatile std::uint8_t*>(at + i);
      if (write) { *reg = data[i]; } else { data[i] = *reg; }
    } else if (unit == 2) {
      auto* reg = reinterpret_cast<volatile std::uint16_t*>(at + i);
      std::uint16_t v;
      if (write) { std::memcpy(&v, data + i, 2); *reg = v; } else { v = *reg; std::memcpy(data + i, &v, 2); }
    } else {
      auto* reg = reinterpret_cast<volatile std::uint32_t*>(at + i);
      std::uint32_t v;
      if (write) { std::memcpy(&v, data + i, 4); *reg = v; } else { v = *reg; std::memcpy(data + i, &v, 4); }
    }
  }
  munmap(mapping, span);
  return true;
}

bool TLinuxMachine::MemoryRead(std::uint64_t address, void* buffer, std::uint32_t length,
                               unsigned unit) {
  return MapAndMove(address, buffer, length, unit, false);
}

bool TLinuxMachine::MemoryWrite(std::uint64_t address, const void* buffer, std::uint32_t length,
                                unsigned unit) {
  return MapAndMove(address, const_cast<void*>(buffer), length, unit, true);
}

namespace {
int OpenMsr(bool write) {
  const int cpu = sched_getcpu();
  if (cpu < 0) return -1;
  char path[64];
  std::snprintf(path, sizeof(path), "/dev/cpu/%d/msr", cpu);
  return open(path, (write ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
}
}  // namespace

bool TLinuxMachine::ReadMsr(std::uint32_t index, std::uint64_t& value) {
  const int fd = OpenMsr(false);
  if (fd < 0) return false;
  const bool ok = pread(fd, &value, 8, index) == 8;
  close(fd);
  return ok;
}

bool TLinuxMachine::WriteMsr(std::uint32_t index, std::uint64_t value) {
  const int fd = OpenMsr(true);
  if (fd < 0) return false;
  const bool ok = pwrite(fd, &value, 8, index) == 8;
  close(fd);
  return ok;
}

bool TLinuxMachine::ReadTsc(std::uint64_t& value) {
#if defined(GAVRELO_X86)
  value = __rdtsc();
  return true;
#else
  (void)value;
  return false;
#endif
}

bool TLinuxMachine::ReadPmc(std::uint32_t, std::uint64_t&) { return false; }
bool TLinuxMachine::ReadCr(std::uint32_t, std::uint64_t&) { return false; }
bool TLinuxMachine::WriteCr(std::uint32_t, std::uint64_t) { return false; }

void TLinuxMachine::Cpuid(TCpuidRegisters& regs) { host::NativeCpuid(regs); }

std::uint32_t TLinuxMachine::ProcessorCount() {
  TOsVersionInfo info;
  host::HostOsVersion(info);
  return info.ProcessorCount;
}

bool TLinuxMachine::SetAffinity(std::uint64_t mask) {
  if (mask == 0) return false;
  cpu_set_t set;
  CPU_ZERO(&set);
  for (unsigned cpu = 0; cpu < 64; ++cpu) {
    if (mask & (1ull << cpu)) CPU_SET(cpu, &set);
  }
  return sched_setaffinity(0, sizeof(set), &set) == 0;
}
