#include "hwaccess/AccessDriver.h"

#include <cstring>

#include "hwaccess/DriverProtocol.h"

namespace {

constexpr std::uint32_t kPageSize = 4096;

template <typename Record>
Record Load(const void* buffer) {
  Record record;
  std::memcpy(&record, buffer, sizeof(Record));
  return record;
}

template <typename Record>
void Store(void* buffer, const Record& record) {
  std::memcpy(buffer, &record, sizeof(Record));
}

unsigned PortWidth(std::uint32_t code) {
  switch (code) {
    case drv::kReadPortByte: case drv::kWritePortByte:
    case drv::kReadPciByte: case drv::kWritePciByte: return 1;
    case drv::kReadPortWord: case drv::kWritePortWord:
    case drv::kReadPciWord: case drv::kWritePciWord: return 2;
    default: return 4;
  }
}

bool CrReadable(std::uint32_t index) {
  return index == 0 || index == 2 || index == 3 || index == 4 || index == 8;
}
// CR2 (the page-fault address) cannot be written.
bool CrWritable(std::uint32_t index) {
  return index == 0 || index == 3 || index == 4 || index == 8;
}

}  // namespace

TAccessDriver::TAccessDriver(TMachine& machine, TBuild build) : m_Machine(machine), m_Build(build) {}

TAccessDriver::~TAccessDriver() {
  for (auto& [linear, mapping] : m_Pages) host::FreeLow32(mapping.Linear, kPageSize);
}

std::uint32_t TAccessDriver::Dispatch(std::uint32_t code, void* buffer, std::uint32_t inputLength,
                                      std::uint32_t outputLength, std::uint32_t& information) {
  information = 0;
  // The Windows 9x build knows only the codes up to the MSR read; the NT builds do not
  // know the two page-mapping codes.
  if (m_Build == TBuild::Win9x ? code > drv::kReadMsr
                               : (code == drv::kMapPage || code == drv::kUnmapPage)) {
    return drv::kStatusInvalidParameter;
  }
  auto fits = [&](std::uint32_t in, std::uint32_t out) {
    return inputLength >= in && outputLength >= out;
  };
  const std::uint32_t injected = m_Machine.InjectedStatus(code);

  switch (code) {
    case drv::kReadPortByte:
    case drv::kReadPortWord:
    case drv::kReadPortDword: {
      if (!fits(sizeof(PortRequest), sizeof(PortRequest))) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      const unsigned width = PortWidth(code);
      std::uint32_t value = 0;
      if (!m_Machine.PortRead(static_cast<std::uint16_t>(Load<PortRequest>(buffer).Port), width, value)) {
        return drv::kStatusUnsuccessful;
      }
      // Only the bytes of the access width are stored; the rest of Value stays as it came.
      std::memcpy(static_cast<unsigned char*>(buffer) + offsetof(PortRequest, Value), &value, width);
      information = sizeof(PortRequest);
      return drv::kStatusSuccess;
    }
    case drv::kWritePortByte:
    case drv::kWritePortWord:
    case drv::kWritePortDword: {
      if (!fits(sizeof(PortRequest), 0)) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      const auto request = Load<PortRequest>(buffer);
      const unsigned width = PortWidth(code);
      const std::uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
      return m_Machine.PortWrite(static_cast<std::uint16_t>(request.Port), width, request.Value & mask)
                 ? drv::kStatusSuccess
                 : drv::kStatusUnsuccessful;
    }
    case drv::kReadPciByte:
    case drv::kReadPciWord:
    case drv::kReadPciDword: {
      if (!fits(sizeof(PciRequest), sizeof(PciRequest))) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      const auto request = Load<PciRequest>(buffer);
      const unsigned width = PortWidth(code);
      std::uint32_t value = 0;
      if (!m_Machine.PciConfigRead(
              drv::PciAddressWord(request.Bus, request.Device, request.Function, request.Register),
              drv::PciDataPort(request.Register), width, value)) {
        return drv::kStatusUnsuccessful;
      }
      std::memcpy(static_cast<unsigned char*>(buffer) + offsetof(PciRequest, Value), &value, width);
      information = sizeof(PciRequest);
      return drv::kStatusSuccess;
    }
    case drv::kWritePciByte:
    case drv::kWritePciWord:
    case drv::kWritePciDword: {
      if (!fits(sizeof(PciRequest), 0)) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      const auto request = Load<PciRequest>(buffer);
      const unsigned width = PortWidth(code);
      const std::uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
      return m_Machine.PciConfigWrite(
                 drv::PciAddressWord(request.Bus, request.Device, request.Function, request.Register),
                 drv::PciDataPort(request.Register), width, request.Value & mask)
                 ? drv::kStatusSuccess
                 : drv::kStatusUnsuccessful;
    }
    case drv::kReadMemory:
    case drv::kWriteMemory: {
      const bool write = code == drv::kWriteMemory;
      if (!fits(sizeof(MemoryRequest), write ? 0 : sizeof(MemoryRequest))) {
        return drv::kStatusInvalidParameter;
      }
      if (injected != 0) return injected;
      return Memory(write, buffer, information);
    }
    case drv::kReadMsr: {
      if (!fits(sizeof(MsrRequest), sizeof(MsrRequest))) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      auto request = Load<MsrRequest>(buffer);
      std::uint64_t value = 0;
      if (!m_Machine.ReadMsr(request.Index, value)) return drv::kStatusUnsuccessful;
      request.Low = static_cast<std::uint32_t>(value);
      request.High = static_cast<std::uint32_t>(value >> 32);
      Store(buffer, request);
      information = sizeof(MsrRequest);
      return drv::kStatusSuccess;
    }
    case drv::kWriteMsr: {
      if (!fits(sizeof(MsrRequest), 0)) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      const auto request = Load<MsrRequest>(buffer);
      return m_Machine.WriteMsr(request.Index, static_cast<std::uint64_t>(request.High) << 32 | request.Low)
                 ? drv::kStatusSuccess
                 : drv::kStatusUnsuccessful;
    }
    case drv::kReadTsc: {
      if (!fits(0, sizeof(CounterReply))) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      CounterReply reply{};
      if (!m_Machine.ReadTsc(reply.Value)) return drv::kStatusUnsuccessful;
      Store(buffer, reply);
      information = sizeof(CounterReply);
      return drv::kStatusSuccess;
    }
    case drv::kReadPmc: {
      if (!fits(sizeof(RegisterRequest), sizeof(RegisterRequest))) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      auto request = Load<RegisterRequest>(buffer);
      if (!m_Machine.ReadPmc(request.Index, request.Value)) return drv::kStatusUnsuccessful;
      Store(buffer, request);
      information = sizeof(RegisterRequest);
      return drv::kStatusSuccess;
    }
    case drv::kReadCr: {
      if (!fits(sizeof(RegisterRequest), sizeof(RegisterRequest))) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      auto request = Load<RegisterRequest>(buffer);
      if (!CrReadable(request.Index)) return drv::kStatusUnsuccessful;
      std::uint64_t value = 0;
      if (!m_Machine.ReadCr(request.Index, value)) return drv::kStatusUnsuccessful;
      if (m_Build == TBuild::Nt32) {
        // A 32-bit register, stored sign-extended.
        value = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(value)));
      }
      request.Value = value;
      Store(buffer, request);
      information = sizeof(RegisterRequest);
      return drv::kStatusSuccess;
    }
    case drv::kWriteCr: {
      if (!fits(sizeof(RegisterRequest), 0)) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      const auto request = Load<RegisterRequest>(buffer);
      if (!CrWritable(request.Index)) return drv::kStatusUnsuccessful;
      const std::uint64_t value = m_Build == TBuild::Nt32 ? (request.Value & 0xFFFFFFFFu) : request.Value;
      return m_Machine.WriteCr(request.Index, value) ? drv::kStatusSuccess : drv::kStatusUnsuccessful;
    }
    case drv::kMapPage: {
      if (!fits(sizeof(PageRequest), sizeof(PageRequest))) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      return MapPage(buffer, information);
    }
    case drv::kUnmapPage: {
      if (!fits(sizeof(PageRequest), 0)) return drv::kStatusInvalidParameter;
      if (injected != 0) return injected;
      return UnmapPage(buffer);
    }
    default:
      return drv::kStatusInvalidParameter;
  }
}

std::uint32_t TAccessDriver::Memory(bool write, void* buffer, std::uint32_t& information) {
  const auto request = Load<MemoryRequest>(buffer);
  if (request.Unit > 2) return drv::kStatusInvalidParameter;
  const unsigned width = 1u << request.Unit;
  if (request.Length % width != 0) return drv::kStatusInvalidParameter;
  void* data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(request.Buffer));
  if (request.Buffer != static_cast<std::uintptr_t>(request.Buffer) || data == nullptr) {
    return drv::kStatusInvalidParameter;
  }
  if (request.Length != 0) {
    const bool ok = write ? m_Machine.MemoryWrite(request.Address, data, request.Length, width)
                          : m_Machine.MemoryRead(request.Address, data, request.Length, width);
    if (!ok) return drv::kStatusUnsuccessful;  // the range cannot be mapped
  }
  information = write ? 0 : sizeof(MemoryRequest);
  return drv::kStatusSuccess;
}

// Maps the 4 KB page holding the address: the page is copied into memory the caller can
// reach at a 32-bit linear address, and the reply is the linear address of the given
// address itself; 0 when the page cannot be read.
std::uint32_t TAccessDriver::MapPage(void* buffer, std::uint32_t& information) {
  auto request = Load<PageRequest>(buffer);
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
      request.Address = base + (Load<PageRequest>(buffer).Address & (kPageSize - 1));
    } else {
      host::FreeLow32(linear, kPageSize);
    }
  }
  Store(buffer, request);
  information = sizeof(PageRequest);
  return drv::kStatusSuccess;
}

// Releases the mapping that holds the given linear address. Bytes the caller changed are
// written back to the physical page, as one byte-wide run from the first to the last
// changed byte.
std::uint32_t TAccessDriver::UnmapPage(void* buffer) {
  const std::uint32_t linear = Load<PageRequest>(buffer).Address;
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
