#include "hwaccess/ReadWrite.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "diag/ProcessState.h"
#include "host/Device.h"
#include "host/LinuxMachine.h"
#include "host/Process.h"
#include "hwaccess/LoadDriver.h"

namespace {

TReadWrite* g_instance = nullptr;

constexpr std::uint32_t kOs9x = 0x10;
constexpr std::uint64_t kNotFound = 0x00000000FFFFFFFFull;
constexpr std::uint32_t kSearchChunk = 4096;

constexpr std::uint32_t AllOnes(unsigned width) {
  return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

constexpr std::uint32_t PortReadCode(unsigned width) {
  return width == 1 ? drv::kReadPortByte : width == 2 ? drv::kReadPortWord : drv::kReadPortDword;
}
constexpr std::uint32_t PortWriteCode(unsigned width) {
  return width == 1 ? drv::kWritePortByte : width == 2 ? drv::kWritePortWord : drv::kWritePortDword;
}
constexpr std::uint32_t PciReadCode(unsigned width) {
  return width == 1 ? drv::kReadPciByte : width == 2 ? drv::kReadPciWord : drv::kReadPciDword;
}
constexpr std::uint32_t PciWriteCode(unsigned width) {
  return width == 1 ? drv::kWritePciByte : width == 2 ? drv::kWritePciWord : drv::kWritePciDword;
}

}  // namespace

// The service's fields as the driver protocol needs them.
struct TReadWrite::TImpl {
  TOsVersion OsProbe;  // the service's private probe
  host::DeviceHandle DeviceHandle = host::kInvalidDeviceHandle;
  // Where the Windows 9x paths execute their port instructions directly.
  TMachine* Direct = nullptr;
  TRwConfig* Config = nullptr;
  // Request scratch areas, reused by every call.
  std::uint32_t PciAddress = 0;  // last legacy address word (9x path)
  std::uint16_t PciDataPort = 0;
  PortRequest Port{};
  PciRequest Pci{};
  std::uint32_t PcieAddress = 0;  // last window address
  std::uint8_t PcieOffset = 0;

  bool Send(std::uint32_t code, void* record, std::uint32_t size) {
    return host::DeviceIoControl(DeviceHandle, code, record, size, record, size, nullptr);
  }

  std::uint32_t PortIn(std::uint16_t port, unsigned width, bool direct) {
    if (direct) {
      std::uint32_t value = 0;
      if (Direct == nullptr || !Direct->PortRead(port, width, value)) return AllOnes(width);
      return value & AllOnes(width);
    }
    Port.Port = port;
    if (!Send(PortReadCode(width), &Port, sizeof(Port))) return AllOnes(width);
    return Port.Value & AllOnes(width);
  }

  void PortOut(std::uint16_t port, unsigned width, std::uint32_t value, bool direct) {
    if (direct) {
      if (Direct != nullptr) Direct->PortWrite(port, width, value & AllOnes(width));
      return;
    }
    Port.Port = port;
    Port.Value = value;
    Send(PortWriteCode(width), &Port, sizeof(Port));
  }

  std::uint32_t PciIn(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                      std::uint16_t reg, unsigned width, bool direct) {
    if (direct) {
      PciAddress = drv::PciAddressWord(bus, device, function, reg);
      PciDataPort = drv::PciDataPort(reg);
      PortOut(0xCF8, 4, PciAddress, true);
      return PortIn(PciDataPort, width, true);
    }
    Pci.Bus = bus;
    Pci.Device = device;
    Pci.Function = function;
    Pci.Register = reg;
    if (!Send(PciReadCode(width), &Pci, sizeof(Pci))) return AllOnes(width);
    return Pci.Value & AllOnes(width);
  }

  void PciOut(std::uint8_t bus, std::uint8_t device, std::uint8_t function, std::uint16_t reg,
              unsigned width, std::uint32_t value, bool direct) {
    if (direct) {
      PciAddress = drv::PciAddressWord(bus, device, function, reg);
      PciDataPort = drv::PciDataPort(reg);
      PortOut(0xCF8, 4, PciAddress, true);
      PortOut(PciDataPort, width, value, true);
      return;
    }
    Pci.Bus = bus;
    Pci.Device = device;
    Pci.Function = function;
    Pci.Register = reg;
    Pci.Value = value;
    Send(PciWriteCode(width), &Pci, sizeof(Pci));
  }

  bool MemoryNt(bool write, void* buffer, std::uint32_t length, std::uint32_t unit,
                std::uint64_t address) {
    MemoryRequest request{};
    request.Address = address;
    request.Length = length;
    request.Unit = unit;
    request.Buffer = reinterpret_cast<std::uintptr_t>(buffer);
    return Send(write ? drv::kWriteMemory : drv::kReadMemory, &request, sizeof(request));
  }

  // Windows 9x: one 256-byte page at a time through the page-mapping codes.
  bool Memory9x(bool write, void* buffer, std::uint32_t length, std::uint32_t unit,
                std::uint64_t address) {
    auto* data = static_cast<std::uint8_t*>(buffer);
    std::uint32_t page = static_cast<std::uint32_t>(address) & 0xFFFFFF00u;
    std::uint32_t offset = static_cast<std::uint32_t>(address) & 0xFFu;
    std::uint32_t remaining = length;
    while (remaining > 0) {
      PageRequest map{page};
      if (!host::DeviceIoControl(DeviceHandle, drv::kMapPage, &map, sizeof(map), &map,
                                 sizeof(map), nullptr) ||
          map.Address == 0) {
        return false;  // bytes already moved stay in the caller's buffer
      }
      auto* mapped = reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(map.Address)) + offset;
      const std::uint32_t count = std::min(remaining, 256 - offset);
      Move(write, mapped, data, count, unit);
      PageRequest unmap{map.Address};
      host::DeviceIoControl(DeviceHandle, drv::kUnmapPage, &unmap, sizeof(unmap), nullptr, 0,
                            nullptr);
      data += count;
      remaining -= count;
      page += 256;
      offset = 0;
    }
    return true;
  }

  // Moves `count` bytes between a mapping and the caller's buffer in the unit's width; a
  // tail shorter than the unit, and any other unit, moves as bytes.
  static void Move(bool write, std::uint8_t* mapped, std::uint8_t* data, std::uint32_t count,
                   std::uint32_t unit) {
    const std::uint32_t width = unit == 1 ? 2 : unit == 2 ? 4 : 1;
    std::uint32_t i = 0;
    if (unit <= 2) {
      for (; i + width <= count; i += width) {
        if (width == 1) {
          auto* reg = reinterpret_cast<volatile std::uint8_t*>(mapped + i);
          if (write) { *reg = data[i]; } else { data[i] = *reg; }
        } else if (width == 2) {
          std::uint16_t v;
          if (write) { std::memcpy(&v, data + i, 2); std::memcpy(mapped + i, &v, 2); }
          else { std::memcpy(&v, mapped + i, 2); std::memcpy(data + i, &v, 2); }
        } else {
          std::uint32_t v;
          if (write) { std::memcpy(&v, data + i, 4); std::memcpy(mapped + i, &v, 4); }
          else { std::memcpy(&v, mapped + i, 4); std::memcpy(data + i, &v, 4); }
        }
      }
    }
    if (i < count) {
      if (write) { std::memcpy(mapped + i, data + i, count - i); }
      else { std::memcpy(data + i, mapped + i, count - i); }
    }
  }
};

TReadWrite& TReadWrite::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TReadWrite();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TReadWrite::ResetInstance);
  }
  return *g_instance;
}

void TReadWrite::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TReadWrite::TReadWrite() {
  const host::DeviceHandle handle = TLoadDriver::Instance(false, false, false).DeviceHandle();
  m_Impl = std::make_unique<TImpl>();
  m_Impl->DeviceHandle = handle;
  m_Impl->Direct = TLoadDriver::Machine();
  m_OsFlags = m_Impl->OsProbe.Flags(0xFFFF);
  m_Impl->Config = &TRwConfig::Instance();
}

TReadWrite::~TReadWrite() = default;

TRwConfig& TReadWrite::Config() { return *m_Impl->Config; }
RwCfg& TReadWrite::Settings() { return m_Impl->Config->Settings; }
std::uint32_t TReadWrite::ProcessorCount() const { return m_Impl->OsProbe.ProcessorCount(); }
bool TReadWrite::HasDriver() const { return m_Impl->DeviceHandle != host::kInvalidDeviceHandle; }

// Ports.
std::uint8_t TReadWrite::ReadIoByte(std::uint16_t port) {
  return static_cast<std::uint8_t>(m_Impl->PortIn(port, 1, m_OsFlags == kOs9x));
}
std::uint16_t TReadWrite::ReadIoWord(std::uint16_t port) {
  return static_cast<std::uint16_t>(m_Impl->PortIn(port, 2, m_OsFlags == kOs9x));
}
std::uint32_t TReadWrite::ReadIoDword(std::uint16_t port) {
  return m_Impl->PortIn(port, 4, m_OsFlags == kOs9x);
}
bool TReadWrite::WriteIoByte(std::uint16_t port, std::uint8_t value) {
  m_Impl->PortOut(port, 1, value, m_OsFlags == kOs9x);
  return true;
}
bool TReadWrite::WriteIoWord(std::uint16_t port, std::uint16_t value) {
  m_Impl->PortOut(port, 2, value, m_OsFlags == kOs9x);
  return true;
}
bool TReadWrite::WriteIoDword(std::uint16_t port, std::uint32_t value) {
  m_Impl->PortOut(port, 4, value, m_OsFlags == kOs9x);
  return true;
}

// Index/data pairs: one index cycle and one data cycle per byte. Reads go from the highest
// index down to `index`, writes from `index` up, the low byte always at `index`; the index
// wraps at 8 bits.
std::uint32_t TReadWrite::IndexIn(std::uint16_t indexPort, std::uint16_t dataPort,
                                  std::uint8_t index, unsigned width) {
  std::uint32_t result = 0;
  for (int k = static_cast<int>(width) - 1; k >= 0; --k) {
    WriteIoByte(indexPort, static_cast<std::uint8_t>(index + k));
    result = result << 8 | ReadIoByte(dataPort);
  }
  return result;
}

bool TReadWrite::IndexOut(std::uint16_t indexPort, std::uint16_t dataPort, std::uint32_t value,
                          std::uint8_t index, unsigned width) {
  bool ok = true;
  for (unsigned k = 0; k < width; ++k) {
    WriteIoByte(indexPort, static_cast<std::uint8_t>(index + k));
    ok = WriteIoByte(dataPort, static_cast<std::uint8_t>(value)) && ok;
    value >>= 8;
  }
  return ok;
}

std::uint8_t TReadWrite::ReadIndexByte(std::uint16_t indexPort, std::uint16_t dataPort,
                                       std::uint8_t index) {
  return static_cast<std::uint8_t>(IndexIn(indexPort, dataPort, index, 1));
}
std::uint16_t TReadWrite::ReadIndexWord(std::uint16_t indexPort, std::uint16_t dataPort,
                                        std::uint8_t index) {
  return static_cast<std::uint16_t>(IndexIn(indexPort, dataPort, index, 2));
}
std::uint32_t TReadWrite::ReadIndexDword(std::uint16_t indexPort, std::uint16_t dataPort,
                                         std::uint8_t index) {
  return IndexIn(indexPort, dataPort, index, 4);
}
bool TReadWrite::WriteIndexByte(std::uint16_t indexPort, std::uint16_t dataPort,
                                std::uint8_t value, std::uint8_t index) {
  return IndexOut(indexPort, dataPort, value, index, 1);
}
bool TReadWrite::WriteIndexWord(std::uint16_t indexPort, std::uint16_t dataPort,
                                std::uint16_t value, std::uint8_t index) {
  return IndexOut(indexPort, dataPort, value, index, 2);
}

// Legacy PCI configuration.
std::uint8_t TReadWrite::ReadPciByte(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                                     std::uint16_t reg) {
  return static_cast<std::uint8_t>(m_Impl->PciIn(bus, device, function, reg, 1, m_OsFlags == kOs9x));
}
std::uint16_t TReadWrite::ReadPciWord(std::uint8_t bus, std::uint8_t device,
                                      std::uint8_t function, std::uint16_t reg) {
  return static_cast<std::uint16_t>(m_Impl->PciIn(bus, device, function, reg, 2, m_OsFlags == kOs9x));
}
std::uint32_t TReadWrite::ReadPciDword(std::uint8_t bus, std::uint8_t device,
                                       std::uint8_t function, std::uint16_t reg) {
  return m_Impl->PciIn(bus, device, function, reg, 4, m_OsFlags == kOs9x);
}
bool TReadWrite::WritePciByte(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                              std::uint16_t reg, std::uint8_t value) {
  m_Impl->PciOut(bus, device, function, reg, 1, value, m_OsFlags == kOs9x);
  return true;
}
bool TReadWrite::WritePciWord(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                              std::uint16_t reg, std::uint16_t value) {
  m_Impl->PciOut(bus, device, function, reg, 2, value, m_OsFlags == kOs9x);
  return true;
}
bool TReadWrite::WritePciDword(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                               std::uint16_t reg, std::uint32_t value) {
  m_Impl->PciOut(bus, device, function, reg, 4, value, m_OsFlags == kOs9x);
  return true;
}

namespace {
constexpr std::uint8_t Bus(std::uint16_t bdf) { return static_cast<std::uint8_t>(bdf >> 8); }
constexpr std::uint8_t Dev(std::uint16_t bdf) { return static_cast<std::uint8_t>((bdf >> 3) & 0x1F); }
constexpr std::uint8_t Fn(std::uint16_t bdf) { return static_cast<std::uint8_t>(bdf & 7); }
}  // namespace

std::uint8_t TReadWrite::ReadPciByte(std::uint16_t bdf, std::uint16_t reg) {
  return ReadPciByte(Bus(bdf), Dev(bdf), Fn(bdf), reg);
}
std::uint16_t TReadWrite::ReadPciWord(std::uint16_t bdf, std::uint16_t reg) {
  return ReadPciWord(Bus(bdf), Dev(bdf), Fn(bdf), reg);
}
std::uint32_t TReadWrite::ReadPciDword(std::uint16_t bdf, std::uint16_t reg) {
  return ReadPciDword(Bus(bdf), Dev(bdf), Fn(bdf), reg);
}
bool TReadWrite::WritePciByte(std::uint16_t bdf, std::uint16_t reg, std::uint8_t value) {
  return WritePciByte(Bus(bdf), Dev(bdf), Fn(bdf), reg, value);
}
bool TReadWrite::WritePciWord(std::uint16_t bdf, std::uint16_t reg, std::uint16_t value) {
  return WritePciWord(Bus(bdf), Dev(bdf), Fn(bdf), reg, value);
}
bool TReadWrite::WritePciDword(std::uint16_t bdf, std::uint16_t reg, std::uint32_t value) {
  return WritePciDword(Bus(bdf), Dev(bdf), Fn(bdf), reg, value);
}

// PCI Express configuration through the memory-mapped window.
namespace {
std::uint32_t WindowAddress(std::uint32_t base, std::uint8_t bus, std::uint8_t device,
                            std::uint8_t function, std::uint16_t reg) {
  return base + bus * 0x100000u + device * 0x8000u + function * 0x1000u + (reg & 0xFFCu);
}

// Where a field of `width` bytes at `offset` (reg & 3) lies in the window dword: a byte in
// its own lane; a word in the low half at offset 0 and in the high half at any other offset;
// a dword is the whole dword whatever the offset.
constexpr unsigned LaneShift(unsigned width, unsigned offset) {
  return width == 1 ? 8 * offset : width == 2 ? (offset == 0 ? 0 : 16) : 0;
}
}  // namespace

// Every access through the window is a dword access at the aligned address.
std::uint32_t TReadWrite::PcieIn(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                                 std::uint16_t reg, unsigned width) {
  if (PcieBase == 0xFFFFFFFF) {
    return reg < 0x100 ? m_Impl->PciIn(bus, device, function, reg, width, m_OsFlags == kOs9x)
                       : AllOnes(width);
  }
  m_Impl->PcieAddress = WindowAddress(PcieBase, bus, device, function, reg);
  m_Impl->PcieOffset = static_cast<std::uint8_t>(reg & 3);
  const std::uint32_t dword = ReadMemDword(m_Impl->PcieAddress);
  return (dword >> LaneShift(width, m_Impl->PcieOffset)) & AllOnes(width);
}

// Writes below 0x100 take the legacy mechanism even when the window is known. A byte or
// word write above 0xFF is a read-modify-write of the window dword. If that read fails the
// write is refused: merging into the all-ones failure value would write all ones into the
// neighbouring registers.
bool TReadWrite::PcieOut(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                         std::uint16_t reg, unsigned width, std::uint32_t value) {
  if (reg < 0x100) {
    m_Impl->PciOut(bus, device, function, reg, width, value, m_OsFlags == kOs9x);
    return true;
  }
  if (PcieBase == 0xFFFFFFFF) return false;
  m_Impl->PcieAddress = WindowAddress(PcieBase, bus, device, function, reg);
  m_Impl->PcieOffset = static_cast<std::uint8_t>(reg & 3);
  if (width == 4) return WriteMemDword(m_Impl->PcieAddress, value);
  std::uint32_t dword = 0;
  if (!ReadMemUnits(&dword, 4, 2, m_Impl->PcieAddress)) return false;
  const unsigned shift = LaneShift(width, m_Impl->PcieOffset);
  dword = (dword & ~(AllOnes(width) << shift)) | value << shift;
  return WriteMemDword(m_Impl->PcieAddress, dword);
}

std::uint8_t TReadWrite::ReadPcieByte(std::uint8_t bus, std::uint8_t device,
                                      std::uint8_t function, std::uint16_t reg) {
  return static_cast<std::uint8_t>(PcieIn(bus, device, function, reg, 1));
}
std::uint16_t TReadWrite::ReadPcieWord(std::uint8_t bus, std::uint8_t device,
                                       std::uint8_t function, std::uint16_t reg) {
  return static_cast<std::uint16_t>(PcieIn(bus, device, function, reg, 2));
}
std::uint32_t TReadWrite::ReadPcieDword(std::uint8_t bus, std::uint8_t device,
                                        std::uint8_t function, std::uint16_t reg) {
  return PcieIn(bus, device, function, reg, 4);
}
bool TReadWrite::WritePcieByte(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                               std::uint16_t reg, std::uint8_t value) {
  return PcieOut(bus, device, function, reg, 1, value);
}
bool TReadWrite::WritePcieWord(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                               std::uint16_t reg, std::uint16_t value) {
  return PcieOut(bus, device, function, reg, 2, value);
}
bool TReadWrite::WritePcieDword(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                                std::uint16_t reg, std::uint32_t value) {
  return PcieOut(bus, device, function, reg, 4, value);
}

std::uint8_t TReadWrite::ReadPcieByte(std::uint16_t bdf, std::uint16_t reg) {
  return ReadPcieByte(Bus(bdf), Dev(bdf), Fn(bdf), reg);
}
std::uint16_t TReadWrite::ReadPcieWord(std::uint16_t bdf, std::uint16_t reg) {
  return ReadPcieWord(Bus(bdf), Dev(bdf), Fn(bdf), reg);
}
std::uint32_t TReadWrite::ReadPcieDword(std::uint16_t bdf, std::uint16_t reg) {
  return ReadPcieDword(Bus(bdf), Dev(bdf), Fn(bdf), reg);
}
bool TReadWrite::WritePcieByte(std::uint16_t bdf, std::uint16_t reg, std::uint8_t value) {
  return WritePcieByte(Bus(bdf), Dev(bdf), Fn(bdf), reg, value);
}
bool TReadWrite::WritePcieWord(std::uint16_t bdf, std::uint16_t reg, std::uint16_t value) {
  return WritePcieWord(Bus(bdf), Dev(bdf), Fn(bdf), reg, value);
}
bool TReadWrite::WritePcieDword(std::uint16_t bdf, std::uint16_t reg, std::uint32_t value) {
  return WritePcieDword(Bus(bdf), Dev(bdf), Fn(bdf), reg, value);
}

// PCI enumeration.
namespace {

bool IdsMatch(std::uint32_t ids, std::uint32_t v) {
  return ids == v || ids == (v | 0x0000FFFFu) || ids == (v | 0xFFFF0000u);
}

// 0xFF in any one byte, in the two low bytes, in the outer two bytes or in the two high
// bytes of the 24-bit class code.
bool ClassMatch(std::uint32_t target, std::uint32_t v) {
  return target == v || target == (v | 0x0000FFu) || target == (v | 0x00FF00u) ||
         target == (v | 0xFF0000u) || target == (v | 0x00FFFFu) || target == (v | 0xFF00FFu) ||
         target == (v | 0xFFFF00u);
}

}  // namespace

// The enumeration walk, visiting functions in bus, device, function order. Function 0 of a
// device is present unless its id dword reads all ones or zero; its header type is read only
// then, and functions 1..7 are visited only when bit 7 of it is set and their id dword does
// not read all ones. `visit(bdf, id)` returns true to end the walk at that function.
template <typename Visit>
void TReadWrite::ForEachPciFunction(Visit&& visit) {
  for (unsigned bus = 0; bus < 256; ++bus) {
    for (unsigned device = 0; device < 32; ++device) {
      const auto b = static_cast<std::uint8_t>(bus);
      const auto d = static_cast<std::uint8_t>(device);
      const std::uint32_t id0 = ReadPciDword(b, d, 0, 0);
      if (id0 == 0xFFFFFFFF || id0 == 0) continue;
      const unsigned functions = (ReadPciByte(b, d, 0, 0x0E) & 0x80) ? 8 : 1;
      for (unsigned function = 0; function < functions; ++function) {
        const auto f = static_cast<std::uint8_t>(function);
        const std::uint32_t id = function == 0 ? id0 : ReadPciDword(b, d, f, 0);
        if (id == 0xFFFFFFFF) continue;
        if (visit(static_cast<std::uint16_t>(bus << 8 | device << 3 | function), id)) return;
      }
    }
  }
}

std::uint16_t TReadWrite::FindPciDevice(std::uint32_t ids, std::uint8_t index) {
  return FindPci(0, ids, index);
}

std::uint16_t TReadWrite::FindPciClass(std::uint32_t classCode, std::uint8_t index) {
  return FindPci(1, classCode, index);
}

// Functions of a multi-function device that read all ones at register 0 are absent and
// never match: otherwise the all-ones class code of an empty slot would match a target
// made of wildcards.
std::uint16_t TReadWrite::FindPci(int mode, std::uint32_t target, std::uint8_t index) {
  unsigned countdown = index;
  std::uint16_t found = 0xFFFF;
  ForEachPciFunction([&](std::uint16_t bdf, std::uint32_t id) {
    const bool match =
        mode == 0 ? IdsMatch(target, id) : ClassMatch(target, ReadPciDword(bdf, 8) >> 8);
    if (!match) return false;
    if (countdown == 0) {
      found = bdf;
      return true;
    }
    --countdown;
    return false;
  });
  return found;
}

std::vector<std::uint16_t> TReadWrite::PciFunctions() {
  std::vector<std::uint16_t> found;
  ForEachPciFunction([&](std::uint16_t bdf, std::uint32_t) {
    found.push_back(bdf);
    return false;
  });
  return found;
}

// Physical memory. One value is one request of one unit of its own width (unit 0, 1 or 2
// for 1, 2 or 4 bytes); a failed read leaves all ones.
template <typename T>
T TReadWrite::ReadMemValue(std::uint64_t address) {
  T value = std::numeric_limits<T>::max();
  ReadMemUnits(&value, sizeof(T), sizeof(T) / 2, address);
  return value;
}
template <typename T>
bool TReadWrite::WriteMemValue(std::uint64_t address, T value) {
  return WriteMemUnits(&value, sizeof(T), sizeof(T) / 2, address);
}

std::uint8_t TReadWrite::ReadMemByte(std::uint64_t address) {
  return ReadMemValue<std::uint8_t>(address);
}
std::uint16_t TReadWrite::ReadMemWord(std::uint64_t address) {
  return ReadMemValue<std::uint16_t>(address);
}
std::uint32_t TReadWrite::ReadMemDword(std::uint64_t address) {
  return ReadMemValue<std::uint32_t>(address);
}
bool TReadWrite::WriteMemByte(std::uint64_t address, std::uint8_t value) {
  return WriteMemValue(address, value);
}
bool TReadWrite::WriteMemWord(std::uint64_t address, std::uint16_t value) {
  return WriteMemValue(address, value);
}
bool TReadWrite::WriteMemDword(std::uint64_t address, std::uint32_t value) {
  return WriteMemValue(address, value);
}

bool TReadWrite::ReadMemUnits(void* destination, std::uint32_t length, std::uint32_t unit,
                              std::uint64_t address) {
  if (m_OsFlags == kOs9x) return m_Impl->Memory9x(false, destination, length, unit, address);
  return m_Impl->MemoryNt(false, destination, length, unit, address);
}

bool TReadWrite::WriteMemUnits(const void* source, std::uint32_t length, std::uint32_t unit,
                               std::uint64_t address) {
  void* data = const_cast<void*>(source);  // the driver only reads it on a write
  if (m_OsFlags == kOs9x) return m_Impl->Memory9x(true, data, length, unit, address);
  return m_Impl->MemoryNt(true, data, length, unit, address);
}

bool TReadWrite::ReadMemBlock(void* destination, std::uint32_t length, std::uint64_t address) {
  return ReadMemUnits(destination, length, 0, address);
}

bool TReadWrite::ReadMem256(void* destination, std::uint64_t address) {
  return ReadMemUnits(destination, 256, 0, address);
}

// Forward search in chunks of at most 4096 bytes (one request each). The position advances
// with the tested offset, so the next chunk starts at the first untested position and a
// match straddling a chunk boundary is found.
//
// Guards the plain algorithm lacks: a chunk whose read failed is never compared (its
// buffer holds nothing of that range) but its positions still count as tested; a pattern
// of length 0 or longer than a chunk finds nothing (either would never advance); and the
// remaining size stops at 0 instead of wrapping when the step passes the end.
std::uint64_t TReadWrite::SearchMem(std::uint64_t address, std::uint32_t size, std::uint32_t step,
                                    const void* pattern, std::uint32_t patternLength,
                                    std::uint32_t skip) {
  if (step == 0) step = 1;
  if (patternLength == 0 || patternLength > kSearchChunk || pattern == nullptr) return kNotFound;
  std::uint8_t buffer[kSearchChunk];
  std::uint64_t p = address;
  std::uint64_t remaining = size;
  while (remaining >= patternLength) {
    const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(kSearchChunk, remaining));
    const bool read = ReadMemBlock(buffer, chunk, p);
    for (std::uint32_t off = 0; off <= chunk - patternLength; off += step) {
      if (read && std::memcmp(buffer + off, pattern, patternLength) == 0) {
        if (skip == 0) return p;
        --skip;
      }
      p += step;
      remaining = remaining > step ? remaining - step : 0;
      if (chunk - patternLength - off < step) break;  // the next offset is past the chunk
    }
  }
  return kNotFound;
}

// Processors and their registers.
bool TReadWrite::SwitchCpu(std::uint32_t cpu) {
  const std::uint32_t count = ProcessorCount();
  if (count <= 1) return false;
  // Processors are numbered from 1; 0 or a number above the count names no processor (and
  // the mask's shift would be undefined), so the affinity stays as it is.
  if (cpu == 0 || cpu > count || cpu > 64) return false;
  const std::uint64_t mask = 1ull << (cpu - 1);
  if (TMachine* machine = m_Impl->Direct) return machine->SetAffinity(mask);
  // The kernel driver runs each request on the processor of the calling thread: pinning
  // the process is the system's own call.
  return host::SystemDriverHost() != nullptr && host::SetProcessAffinity(mask);
}

bool TReadWrite::ReadMsr(MsrRequest& request) {
  return m_Impl->Send(drv::kReadMsr, &request, sizeof(request));
}

bool TReadWrite::WriteMsr(MsrRequest& request) {
  return m_Impl->Send(drv::kWriteMsr, &request, sizeof(request));
}

std::uint64_t TReadWrite::ReadCr(std::uint32_t index) {
  RegisterRequest request{index, 0, 0};
  if (!m_Impl->Send(drv::kReadCr, &request, sizeof(request))) return ~0ull;
  return request.Value;
}

bool TReadWrite::WriteCr(std::uint32_t index, std::uint64_t value) {
  RegisterRequest request{index, 0, value};
  return m_Impl->Send(drv::kWriteCr, &request, sizeof(request));
}

std::uint64_t TReadWrite::ReadTsc() {
  CounterReply reply{0};
  if (!m_Impl->Send(drv::kReadTsc, &reply, sizeof(reply))) return 0;
  return reply.Value;
}

std::uint64_t TReadWrite::ReadPmc(std::uint32_t index) {
  RegisterRequest request{index, 0, 0};
  if (!m_Impl->Send(drv::kReadPmc, &request, sizeof(request))) return 0;
  return request.Value;
}

// CPUID needs no driver; it runs on the back end so a virtual board answers with its own
// processor, and without any back end on the processor itself.
bool TReadWrite::Cpuid(TCpuidRegisters& registers) {
  if (m_Impl->Direct != nullptr) {
    m_Impl->Direct->Cpuid(registers);
  } else {
    host::NativeCpuid(registers);
  }
  return true;
}
