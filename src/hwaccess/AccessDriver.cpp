#include "hwaccess/AccessDriver.h"

#include <cstring>

#include "hwaccess/DriverProtocol.h"

namespace {

constexpr std::uint32_t kPageSize = 4096;

}  // namespace

// The dispatcher's machine layer in this process: the back end's operations, and the
// Windows 9x page mappings, which this driver object keeps.
class TAccessDriver::TDispatchMachine {
 public:
  explicit TDispatchMachine(TAccessDriver& driver) : m_Driver(driver), m_Machine(driver.m_Machine) {}

  bool PortRead(std::uint16_t port, unsigned width, std::uint32_t& value) {
    return m_Machine.PortRead(port, width, value);
  }
  bool PortWrite(std::uint16_t port, unsigned width, std::uint32_t value) {
    return m_Machine.PortWrite(port, width, value);
  }
  bool PciConfigRead(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                     std::uint32_t& value) {
    return m_Machine.PciConfigRead(address, dataPort, width, value);
  }
  bool PciConfigWrite(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                      std::uint32_t value) {
    return m_Machine.PciConfigWrite(address, dataPort, width, value);
  }
  std::uint32_t MoveMemory(bool write, std::uint64_t address, std::uint64_t buffer,
                           std::uint32_t length, unsigned unit) {
    if (buffer != static_cast<std::uintptr_t>(buffer)) return drv::kStatusInvalidParameter;
    void* data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(buffer));
    const bool ok = write ? m_Machine.MemoryWrite(address, data, length, unit)
                          : m_Machine.MemoryRead(address, data, length, unit);
    return ok ? drv::kStatusSuccess : drv::kStatusUnsuccessful;  // the range cannot be mapped
  }
  bool ReadMsr(std::uint32_t index, std::uint64_t& value) { return m_Machine.ReadMsr(index, value); }
  bool WriteMsr(std::uint32_t index, std::uint64_t value) { return m_Machine.WriteMsr(index, value); }
  bool ReadTsc(std::uint64_t& value) { return m_Machine.ReadTsc(value); }
  bool ReadPmc(std::uint32_t index, std::uint64_t& value) { return m_Machine.ReadPmc(index, value); }
  bool ReadCr(std::uint32_t index, std::uint64_t& value) { return m_Machine.ReadCr(index, value); }
  bool WriteCr(std::uint32_t index, std::uint64_t value) { return m_Machine.WriteCr(index, value); }
  std::uint32_t InjectedStatus(std::uint32_t code) { return m_Machine.InjectedStatus(code); }
  std::uint32_t MapPage(void* buffer, std::uint32_t& information) {
    return m_Driver.MapPage(buffer, information);
  }
  std::uint32_t UnmapPage(void* buffer) { return m_Driver.UnmapPage(buffer); }

 private:
  TAccessDriver& m_Driver;
  TMachine& m_Machine;
};

TAccessDriver::TAccessDriver(TMachine& machine, TBuild build) : m_Machine(machine), m_Build(build) {}

TAccessDriver::~TAccessDriver() {
  for (auto& [linear, mapping] : m_Pages) host::FreeLow32(mapping.Linear, kPageSize);
}

std::uint32_t TAccessDriver::Dispatch(std::uint32_t code, void* buffer, std::uint32_t inputLength,
                                      std::uint32_t outputLength, std::uint32_t& information) {
  TDispatchMachine machine(*this);
  return drv::Dispatch(machine, m_Build, code, buffer, inputLength, outputLength, information);
}

// Maps the 4 KB page holding the address: the page is copied into memory the caller can
// reach at a 32-bit linear address, and the reply is the linear address of the given
// address itself; 0 when the page cannot be read.
std::uint32_t TAccessDriver::MapPage(void* buffer, std::uint32_t& information) {
  auto request = drv::dispatch::Load<PageRequest>(buffer);
  const std::uint64_t physical = request.Address & ~(kPageSize - 1);
  request.Address = 0;
  void* linear = host::AllocateLow32(kPageSize);
  if (linear != nullptr) {
    if (m_Machine.MemoryRead(physical, linear, kPageSize, 1)) {
      const auto base = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(linear));
      TPageMapping& mapping = m_Pages[base];
      mapping.Physical = physical;
      mapping.Linear = linear;
      mapping.Original.assign(static_cast<std::uint8_t*>(linear),
                              static_cast<std::uint8_t*>(linear) + kPageSize);
      request.Address = base + (drv::dispatch::Load<PageRequest>(buffer).Address & (kPageSize - 1));
    } else {
      host::FreeLow32(linear, kPageSize);
    }
  }
  drv::dispatch::Store(buffer, request);
  information = sizeof(PageRequest);
  return drv::kStatusSuccess;
}

// Releases the mapping that holds the given linear address. Bytes the caller changed are
// written back to the physical page, as one byte-wide run from the first to the last
// changed byte.
std::uint32_t TAccessDriver::UnmapPage(void* buffer) {
  const std::uint32_t linear = drv::dispatch::Load<PageRequest>(buffer).Address;
  auto it = m_Pages.upper_bound(linear);
  if (it == m_Pages.begin()) return drv::kStatusInvalidParameter;
  --it;
  if (linear - it->first >= kPageSize) return drv::kStatusInvalidParameter;
  TPageMapping& mapping = it->second;
  const auto* now = static_cast<const std::uint8_t*>(mapping.Linear);
  std::uint32_t first = kPageSize;
  std::uint32_t last = 0;
  for (std::uint32_t i = 0; i < kPageSize; ++i) {
    if (now[i] != mapping.Original[i]) {
      if (first == kPageSize) first = i;
      last = i;
    }
  }
  bool ok = true;
  if (first != kPageSize) {
    ok = m_Machine.MemoryWrite(mapping.Physical + first, now + first, last - first + 1, 1);
  }
  host::FreeLow32(mapping.Linear, kPageSize);
  m_Pages.erase(it);
  return ok ? drv::kStatusSuccess : drv::kStatusUnsuccessful;
}
