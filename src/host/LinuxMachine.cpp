#include "host/LinuxMachine.h"

#ifndef _WIN32
// On Windows the kernel driver reaches the hardware; the host facts are in
// HostSystemWindows.cpp.

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

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

std::vector<std::string> KernelDrivers(const std::string& procModules,
                                       const std::string& sysModule) {
  std::set<std::string> names;
  std::ifstream modules(procModules);
  std::string line;
  // Bounded: a module list has a few hundred lines.
  while (names.size() < 100000 && std::getline(modules, line)) {
    names.insert(line.substr(0, line.find(' ')));
  }
  std::error_code error;
  std::filesystem::directory_iterator it(sysModule, error), end;
  for (; !error && it != end && names.size() < 200000; it.increment(error)) {
    names.insert(it->path().filename().string());
  }
  return {names.begin(), names.end()};
}

}  // namespace host

namespace {

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string ErrnoName(int error) {
  switch (error) {
    case EPERM: return "EPERM";
    case EACCES: return "EACCES";
    case EAGAIN: return "EAGAIN";
    case EINVAL: return "EINVAL";
    case ENOENT: return "ENOENT";
    case EROFS: return "EROFS";
    case ENXIO: return "ENXIO";
    case EFAULT: return "EFAULT";
    default: return "errno " + std::to_string(error);
  }
}

std::string ErrorText(int error) { return ErrnoName(error) + " (" + std::strerror(error) + ")"; }

std::string BdfText(std::uint32_t bdf) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x:%02x.%x", bdf >> 8, (bdf >> 3) & 0x1F, bdf & 7);
  return text;
}

std::uint64_t PageSize() { return static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)); }

// A file of at most `limit` bytes; empty when it cannot be read.
std::vector<std::uint8_t> ReadSmallFile(const std::string& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes;
  if (!in) return bytes;
  char chunk[4096];
  while (bytes.size() < limit && in.read(chunk, sizeof chunk).gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
  }
  if (bytes.size() > limit) bytes.clear();  // not a firmware table
  return bytes;
}

std::uint64_t Le(const std::vector<std::uint8_t>& bytes, std::size_t at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width && at + i < bytes.size(); ++i) {
    value |= static_cast<std::uint64_t>(bytes[at + i]) << (8 * i);
  }
  return value;
}

// Firmware tables are small; the largest DSDTs are a few hundred KiB.
constexpr std::size_t kMaxTableCopy = 16u << 20;

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
    // Each interface needs root; the errno texts alone do not say that this is the cause.
    if (::geteuid() != 0) problems += " (not running as root)";
    why = problems;
    return nullptr;
  }
  // The same device without O_SYNC: mappings of the kernel's own (write-back) type, for
  // ranges the kernel maps as memory (see MemoryRead).
  machine->m_CachedMemFd = open("/dev/mem", O_RDONLY | O_CLOEXEC);
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
  if (m_CachedMemFd >= 0) close(m_CachedMemFd);
  for (auto& [key, file] : m_PciFiles) {
    if (file.Fd >= 0) close(file.Fd);
  }
}

std::string TLinuxMachine::PortAccessMode() const {
  if (m_Iopl) return "iopl: IN/OUT of 8, 16 and 32 bits";
  if (m_PortFd >= 0) return "/dev/port: byte cycles only, 16- and 32-bit port accesses fail";
  return "none";
}

void TLinuxMachine::NoteOnce(const std::string& key, const std::string& text) {
  if (!m_Noted.insert(key).second) return;
  if (Notice) Notice(text);
}

void TLinuxMachine::Count(TAccessKind kind, std::uint64_t target) {
  TAccessTally& tally = m_Accesses[static_cast<std::size_t>(kind)];
  ++tally.Count;
  if (tally.Targets.size() < kListedTargets) tally.Targets.insert(target);
}

std::string TLinuxMachine::AccessSummary() const {
  // Kinds in the order of TAccessKind; PCI targets are bdf << 16 | register.
  static constexpr const char* kNames[kAccessKinds] = {
      /* PortRead    */ "port reads",
      /* PortWrite   */ "port writes",
      /* PciRead     */ "PCI configuration reads",
      /* PciWrite    */ "PCI configuration writes",
      /* MemoryRead  */ "memory reads",
      /* MemoryWrite */ "memory writes",
      /* MsrRead     */ "MSR reads",
      /* MsrWrite    */ "MSR writes",
  };
  std::string text;
  for (std::size_t kind = 0; kind < kAccessKinds; ++kind) {
    const TAccessTally& tally = m_Accesses[kind];
    if (!text.empty()) text += "; ";
    text += kNames[kind];
    if (tally.Count == 0) {
      text += " none";
      continue;
    }
    text += " " + std::to_string(tally.Count) + ":";
    const bool pci = kind == static_cast<std::size_t>(TAccessKind::PciRead) ||
                     kind == static_cast<std::size_t>(TAccessKind::PciWrite);
    const char* separator = " ";
    for (const std::uint64_t target : tally.Targets) {
      text += separator;
      separator = ", ";
      text += pci ? BdfText(static_cast<std::uint32_t>(target >> 16)) + " " + Hex(target & 0xFFFF)
                  : Hex(target);
    }
    // Only the first distinct targets are kept; more requests than listed targets may be
    // repeats of them.
    if (tally.Targets.size() == kListedTargets) text += ", ...";
  }
  return text;
}

bool TLinuxMachine::PortRead(std::uint16_t port, unsigned width, std::uint32_t& value) {
  Count(TAccessKind::PortRead, port);
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
  Count(TAccessKind::PortWrite, port);
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

// The function's config file, opened once per direction. Only a missing file (ENOENT)
// means an absent function; any other failure is kept and fails the requests.
TLinuxMachine::TPciFile& TLinuxMachine::PciFile(std::uint32_t bdf, bool write) {
  const std::uint32_t key = bdf << 1 | (write ? 1 : 0);
  auto it = m_PciFiles.find(key);
  if (it != m_PciFiles.end()) return it->second;
  char path[160];
  std::snprintf(path, sizeof(path), "%s/0000:%02x:%02x.%x/config", PciRoot.c_str(), bdf >> 8,
                (bdf >> 3) & 0x1F, bdf & 7);
  TPciFile file;
  file.Fd = open(path, (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (file.Fd < 0) {
    file.Error = errno;
  } else {
    struct stat info {};
    file.Size = fstat(file.Fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 4096;
  }
  if (file.Fd < 0 && file.Error != ENOENT) {
    NoteOnce("pci-open " + std::to_string(key),
             std::string("PCI ") + BdfText(bdf) + " config file cannot be opened for " +
                 (write ? "writing" : "reading") + ": " + ErrorText(file.Error));
  }
  return m_PciFiles[key] = file;
}

bool TLinuxMachine::PciFileRead(std::uint32_t bdf, std::uint32_t reg, unsigned width,
                                std::uint32_t& value) {
  value = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
  const TPciFile& file = PciFile(bdf, false);
  if (file.Fd < 0) return file.Error == ENOENT;  // no such function: all ones, as on the bus
  if (reg >= file.Size) return true;  // beyond the function's space (256 bytes): all ones
  std::uint8_t bytes[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  const ssize_t got = pread(file.Fd, bytes, width, reg);
  if (got < 0) return false;
  if (static_cast<unsigned>(got) < width && reg + width <= file.Size) {
    // The file offers the bytes, the kernel did not hand them out: without CAP_SYS_ADMIN
    // it shows only the first 64 bytes of configuration space.
    const std::string text = "PCI " + BdfText(bdf) + " register " + Hex(reg) +
                             ": the kernel shows only the first 64 bytes of configuration "
                             "space to a process without CAP_SYS_ADMIN";
    if (m_Noted.count("pci-64") == 0) std::fprintf(stderr, "%s\n", text.c_str());
    NoteOnce("pci-64", text);
    return false;
  }
  std::uint32_t result = 0;
  for (unsigned i = 0; i < width; ++i) result |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  value = result;
  return true;
}

bool TLinuxMachine::PciFileWrite(std::uint32_t bdf, std::uint32_t reg, unsigned width,
                                 std::uint32_t value) {
  const TPciFile& file = PciFile(bdf, true);
  if (file.Fd < 0) return file.Error == ENOENT;  // no such function: the cycle goes nowhere
  if (reg >= file.Size) return true;
  std::uint8_t bytes[4];
  for (unsigned i = 0; i < width; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return pwrite(file.Fd, bytes, width, reg) == static_cast<ssize_t>(width);
}

namespace {
std::uint16_t PciRegister(std::uint32_t address, std::uint16_t dataPort) {
  return static_cast<std::uint16_t>(((address >> 24) & 0xF) << 8 | (address & 0xFC) | (dataPort & 3));
}
// The tally's key of a configuration cycle: bus, device and function above the register.
std::uint64_t PciTarget(std::uint32_t address, std::uint16_t dataPort) {
  return (static_cast<std::uint64_t>((address >> 8) & 0xFFFF) << 16) | PciRegister(address, dataPort);
}
}  // namespace

bool TLinuxMachine::PciConfigRead(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                                  std::uint32_t& value) {
  Count(TAccessKind::PciRead, PciTarget(address, dataPort));
  value = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
  if ((address & 0x80000000u) == 0) return true;
  return PciFileRead((address >> 8) & 0xFFFF, PciRegister(address, dataPort), width, value);
}

bool TLinuxMachine::PciConfigWrite(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                                   std::uint32_t value) {
  Count(TAccessKind::PciWrite, PciTarget(address, dataPort));
  if ((address & 0x80000000u) == 0) return true;
  return PciFileWrite((address >> 8) & 0xFFFF, PciRegister(address, dataPort), width, value);
}

void* TLinuxMachine::MapPhysical(std::uint64_t base, std::uint64_t span, bool write, bool cached,
                                 int& error) {
  const int fd = cached ? m_CachedMemFd : m_MemFd;
  if (fd < 0 || (cached && write)) {
    error = EBADF;
    return nullptr;
  }
  void* mapping = mmap(nullptr, span, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd,
                       static_cast<off_t>(base));
  if (mapping == MAP_FAILED) {
    error = errno;
    return nullptr;
  }
  return mapping;
}

void TLinuxMachine::UnmapPhysical(void* mapping, std::uint64_t span) { munmap(mapping, span); }

bool TLinuxMachine::MoveMapped(std::uint64_t address, std::uint8_t* data, std::uint32_t length,
                               unsigned unit, bool write, bool cached, int& error) {
  const std::uint64_t page = PageSize();
  const std::uint64_t base = address & ~(page - 1);
  const std::uint64_t span = address - base + length;
  void* mapping = MapPhysical(base, span, write, cached, error);
  if (mapping == nullptr) return false;
  auto* at = static_cast<std::uint8_t*>(mapping) + (address - base);
  // Volatile accesses of exactly the unit width, in ascending order; a unit at an address
  // that is not a multiple of its width goes as single bytes.
  for (std::uint32_t i = 0; i < length; i += unit) {
    const bool aligned = (address + i) % unit == 0;
    if (unit == 1 || !aligned) {
      for (std::uint32_t b = i; b < i + unit; ++b) {
        auto* reg = reinterpret_cast<volatile std::uint8_t*>(at + b);
        if (write) { *reg = data[b]; } else { data[b] = *reg; }
      }
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
  UnmapPhysical(mapping, span);
  return true;
}

// The PCI Express configuration window as the kernel's resource map names it:
// "b0000000-bfffffff : PCI MMCONFIG 0000 [bus 00-ff]".
bool TLinuxMachine::MoveEcam(std::uint64_t address, std::uint8_t* data, std::uint32_t length,
                             unsigned unit, bool write, bool& inside) {
  if (!m_EcamRead) {
    m_EcamRead = true;
    std::ifstream iomem(IomemPath);
    std::string line;
    for (int lines = 0; lines < 100000 && std::getline(iomem, line); ++lines) {
      const auto label = line.find("PCI MMCONFIG");
      if (label == std::string::npos) continue;
      unsigned long long first = 0, last = 0;
      unsigned bus = 0;
      if (std::sscanf(line.c_str(), " %llx-%llx", &first, &last) != 2 || last <= first) continue;
      const auto busText = line.find("[bus ", label);
      if (busText != std::string::npos) std::sscanf(line.c_str() + busText, "[bus %x", &bus);
      m_Ecam.push_back({first, last, bus});
    }
  }
  inside = false;
  for (const TEcamWindow& window : m_Ecam) {
    if (address < window.Base || address + length - 1 > window.End) continue;
    inside = true;
    for (std::uint32_t i = 0; i < length; i += unit) {
      const std::uint64_t offset = address + i - window.Base;
      const std::uint64_t bus = window.FirstBus + (offset >> 20);
      const std::uint32_t reg = static_cast<std::uint32_t>(offset & 0xFFF);
      if (bus > 0xFF || reg % unit != 0) return false;
      const auto bdf = static_cast<std::uint32_t>(bus << 8 | ((offset >> 12) & 0xFF));
      std::uint32_t value = 0;
      if (write) {
        std::memcpy(&value, data + i, unit);
        if (!PciFileWrite(bdf, reg, unit, value)) return false;
      } else {
        if (!PciFileRead(bdf, reg, unit, value)) return false;
        std::memcpy(data + i, &value, unit);
      }
    }
    return true;
  }
  return false;
}

std::vector<TLinuxMachine::TTableCopy> TLinuxMachine::FirmwareTableCopies(
    const std::string& firmwareRoot) {
  std::vector<TTableCopy> copies;
  // SMBIOS: the 32-bit entry point names the table's address (offset 24) and length (22);
  // the 64-bit one its address (offset 16).
  const auto entry = ReadSmallFile(firmwareRoot + "/dmi/tables/smbios_entry_point", 64);
  auto dmi = ReadSmallFile(firmwareRoot + "/dmi/tables/DMI", kMaxTableCopy);
  if (!dmi.empty() && entry.size() >= 24 && std::memcmp(entry.data(), "_SM3_", 5) == 0) {
    copies.push_back({Le(entry, 16, 8), std::move(dmi), "DMI"});
  } else if (!dmi.empty() && entry.size() >= 28 && std::memcmp(entry.data(), "_SM_", 4) == 0) {
    copies.push_back({Le(entry, 24, 4), std::move(dmi), "DMI"});
  }
  // ACPI: the FADT names the FACS (offset 36, or X_FIRMWARE_CTRL at 132) and the DSDT
  // (offset 40, or X_DSDT at 140).
  const std::string tables = firmwareRoot + "/acpi/tables/";
  const auto fadt = ReadSmallFile(tables + "FACP", 4096);
  if (fadt.size() >= 44) {
    auto place = [&](const char* name, std::size_t at32, std::size_t at64) {
      std::uint64_t address = Le(fadt, at32, 4);
      if (address == 0 && fadt.size() >= at64 + 8) address = Le(fadt, at64, 8);
      auto bytes = ReadSmallFile(tables + name, kMaxTableCopy);
      if (address != 0 && !bytes.empty()) copies.push_back({address, std::move(bytes), name});
    };
    place("FACS", 36, 132);
    place("DSDT", 40, 140);
  }
  return copies;
}

bool TLinuxMachine::ReadTableCopy(std::uint64_t address, std::uint8_t* data, std::uint32_t length) {
  if (!m_TableCopiesRead) {
    m_TableCopiesRead = true;
    m_TableCopies = FirmwareTableCopies(FirmwareRoot);
  }
  for (const TTableCopy& copy : m_TableCopies) {
    if (address >= copy.Address && address + length <= copy.Address + copy.Bytes.size()) {
      std::memcpy(data, copy.Bytes.data() + (address - copy.Address), length);
      NoteOnce("copy " + copy.Name, "physical memory " + Hex(copy.Address) + ": read from the kernel's copy of " +
                                        copy.Name + " in " + FirmwareRoot);
      return true;
    }
  }
  return false;
}

bool TLinuxMachine::MapAndMove(std::uint64_t address, std::uint8_t* data, std::uint32_t length,
                               unsigned unit, bool write) {
  if ((unit != 1 && unit != 2 && unit != 4) || length % unit != 0) return false;
  if (length == 0) return true;
  int error = 0;
  if (MoveMapped(address, data, length, unit, write, false, error)) return true;
  const int uncachedError = error;
  const std::uint64_t page = PageSize();
  const std::uint64_t first = address & ~(page - 1);
  const std::uint64_t last = (address + length - 1) | (page - 1);
  const std::string range = "[" + Hex(first) + "-" + Hex(last) + "]";
  const std::string direction = write ? "write" : "read";
  if (uncachedError == EAGAIN && !write &&
      MoveMapped(address, data, length, unit, false, true, error)) {
    NoteOnce("pat " + range, "/dev/mem " + range + " uncached mapping refused: " +
                                 ErrorText(uncachedError) +
                                 "; the kernel maps it write-back: read through a cached mapping");
    return true;
  }
  bool inside = false;
  if (MoveEcam(address, data, length, unit, write, inside)) {
    NoteOnce("ecam " + range, "/dev/mem " + range + " refused: " + ErrorText(uncachedError) +
                                  "; PCI Express configuration window: served through sysfs");
    return true;
  }
  if (!inside && !write && ReadTableCopy(address, data, length)) {
    NoteOnce("copy " + range, "/dev/mem " + range + " refused: " + ErrorText(uncachedError));
    return true;
  }
  NoteOnce(direction + " " + range,
           "/dev/mem " + range + " " + direction + " refused: " + ErrorText(uncachedError));
  return false;
}

bool TLinuxMachine::MemoryRead(std::uint64_t address, void* buffer, std::uint32_t length,
                               unsigned unit) {
  Count(TAccessKind::MemoryRead, address);
  return MapAndMove(address, static_cast<std::uint8_t*>(buffer), length, unit, false);
}

bool TLinuxMachine::MemoryWrite(std::uint64_t address, const void* buffer, std::uint32_t length,
                                unsigned unit) {
  Count(TAccessKind::MemoryWrite, address);
  // MapAndMove only reads from the buffer when it writes.
  return MapAndMove(address, static_cast<std::uint8_t*>(const_cast<void*>(buffer)), length, unit,
                    true);
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
  Count(TAccessKind::MsrRead, index);
  const int fd = OpenMsr(false);
  if (fd < 0) return false;
  const bool ok = pread(fd, &value, 8, index) == 8;
  close(fd);
  return ok;
}

bool TLinuxMachine::WriteMsr(std::uint32_t index, std::uint64_t value) {
  Count(TAccessKind::MsrWrite, index);
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

#endif
