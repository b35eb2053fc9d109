#include "sim/VirtualBoard.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "host/Registry.h"

namespace {

constexpr std::uint32_t AllOnes(unsigned width) {
  return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

// Ports 0xCF8 (address) and 0xCFC..0xCFF (data) of configuration mechanism #1. Only dword
// cycles reach the address register; other widths at 0xCF8 are ordinary I/O cycles (0xCF9
// is the reset control register on Intel chipsets), which this board leaves unclaimed.
class TPciConfigPorts : public TPortDevice {
 public:
  std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const override {
    return {{0xCF8, 0xCF8}, {0xCFC, 0xCFF}};
  }
  std::uint32_t Read(std::uint16_t port, unsigned width) override {
    if (port == 0xCF8) return width == 4 ? m_Address : AllOnes(width);
    std::uint16_t bdf;
    std::uint16_t reg;
    if (!Decode(port, bdf, reg)) return AllOnes(width);
    std::uint32_t value = AllOnes(width);
    Board->PciRead(bdf, reg, width, value);
    return value;
  }
  void Write(std::uint16_t port, unsigned width, std::uint32_t value) override {
    if (port == 0xCF8) {
      if (width == 4) m_Address = value;
      return;
    }
    std::uint16_t bdf;
    std::uint16_t reg;
    if (Decode(port, bdf, reg)) Board->PciWrite(bdf, reg, width, value);
  }
  std::string Name() const override { return "pci-config"; }

 private:
  // Bit 31 enables the cycle; bits 27..24 extend the register number past 0xFF.
  bool Decode(std::uint16_t port, std::uint16_t& bdf, std::uint16_t& reg) const {
    if ((m_Address & 0x80000000u) == 0) return false;
    bdf = static_cast<std::uint16_t>(m_Address >> 8);
    reg = static_cast<std::uint16_t>(((m_Address >> 24) & 0xF) << 8 | (m_Address & 0xFC) |
                                     (port - 0xCFC));
    return true;
  }
  std::uint32_t m_Address = 0;
};

TVirtualBoard*& InstalledBoard() {
  static TVirtualBoard* board = nullptr;
  return board;
}

void ResetInstalledBoard() {
  delete InstalledBoard();
  InstalledBoard() = nullptr;
  host::ClearRegistryStandIn();
}

}  // namespace

TVirtualBoard::TVirtualBoard() : m_PortOwner(65536, -1), m_FailedPorts(65536, false) {
  AddPortDevice(std::make_unique<TPciConfigPorts>());
}

TVirtualBoard::~TVirtualBoard() = default;

TVirtualBoard& TVirtualBoard::Install(std::unique_ptr<TVirtualBoard> board) {
  if (!board) throw std::invalid_argument("TVirtualBoard::Install: no board");
  ResetInstalledBoard();
  InstalledBoard() = board.release();
  // The board's process sees no registry of the machine it runs on (host/Registry.h).
  host::SetRegistryStandIn(host::NoRegistry());
  gavrelo::RegisterProcessReset(&ResetInstalledBoard);
  return *InstalledBoard();
}

TVirtualBoard* TVirtualBoard::Installed() { return InstalledBoard(); }

TPortDevice& TVirtualBoard::AddPortDevice(std::unique_ptr<TPortDevice> device) {
  if (m_Ports.size() >= 0x7FFF) throw std::runtime_error("too many port devices");
  const auto ranges = device->Ports();
  for (const auto& [first, last] : ranges) {
    if (first > last) throw std::runtime_error(device->Name() + ": port range " + Hex(first) +
                                               ".." + Hex(last) + " is reversed");
    for (std::uint32_t p = first; p <= last; ++p) {
      if (m_PortOwner[p] >= 0) {
        throw std::runtime_error(device->Name() + ": port " + Hex(p) + " is already claimed by " +
                                 m_Ports[static_cast<std::size_t>(m_PortOwner[p])]->Name());
      }
    }
  }
  const auto index = static_cast<std::int16_t>(m_Ports.size());
  for (const auto& [first, last] : ranges) {
    for (std::uint32_t p = first; p <= last; ++p) m_PortOwner[p] = index;
  }
  device->Board = this;
  m_Ports.push_back(std::move(device));
  return *m_Ports.back();
}

TPortDevice* TVirtualBoard::PortDeviceAt(std::uint16_t port) {
  const auto owner = m_PortOwner[port];
  return owner < 0 ? nullptr : m_Ports[static_cast<std::size_t>(owner)].get();
}

TPciFunction& TVirtualBoard::AddPciFunction(std::uint16_t bdf,
                                            std::unique_ptr<TPciFunction> function) {
  function->Board = this;
  auto& slot = m_Pci[bdf];
  slot = std::move(function);
  return *slot;
}

TPciFunction* TVirtualBoard::PciFunction(std::uint16_t bdf) {
  auto it = m_Pci.find(bdf);
  return it == m_Pci.end() ? nullptr : it->second.get();
}

void TVirtualBoard::InsertRange(TRange range) {
  if (range.Size == 0) throw std::runtime_error("memory range at " + Hex(range.Base) + " is empty");
  if (range.Base + range.Size < range.Base) {
    throw std::runtime_error("memory range at " + Hex(range.Base) + " wraps the address space");
  }
  auto it = std::lower_bound(m_Ranges.begin(), m_Ranges.end(), range.Base,
                             [](const TRange& r, std::uint64_t base) { return r.Base < base; });
  const bool overlapsNext = it != m_Ranges.end() && it->Base < range.Base + range.Size;
  const bool overlapsPrevious =
      it != m_Ranges.begin() && std::prev(it)->Base + std::prev(it)->Size > range.Base;
  if (overlapsNext || overlapsPrevious) {
    const TRange& other = overlapsNext ? *it : *std::prev(it);
    throw std::runtime_error("memory range " + Hex(range.Base) + ".." +
                             Hex(range.Base + range.Size - 1) + " overlaps " + Hex(other.Base) +
                             ".." + Hex(other.Base + other.Size - 1));
  }
  m_Ranges.insert(it, std::move(range));
}

void TVirtualBoard::AddMemoryRegion(std::uint64_t base, std::vector<std::uint8_t> bytes,
                                    bool readOnly) {
  TRange range;
  range.Base = base;
  range.Size = bytes.size();
  range.Bytes = std::move(bytes);
  range.ReadOnly = readOnly;
  InsertRange(std::move(range));
}

TMemoryDevice& TVirtualBoard::AddMemoryDevice(std::uint64_t base, std::uint64_t size,
                                              std::unique_ptr<TMemoryDevice> device) {
  TRange range;
  range.Base = base;
  range.Size = size;
  range.Device = device.get();
  InsertRange(std::move(range));
  device->Board = this;
  m_MemoryDevices.push_back(std::move(device));
  return *m_MemoryDevices.back();
}

TMemoryDevice* TVirtualBoard::MemoryDeviceAt(std::uint64_t address) {
  TRange* range = FindRange(address);
  return range != nullptr ? range->Device : nullptr;
}

void TVirtualBoard::SetEcamWindow(std::uint64_t base, unsigned buses) {
  if (m_EcamBase != 0) {
    m_Ranges.erase(std::remove_if(m_Ranges.begin(), m_Ranges.end(),
                                  [](const TRange& r) { return r.Ecam; }),
                   m_Ranges.end());
    m_EcamBase = 0;
  }
  if (base == 0) return;
  if (buses == 0 || buses > 256) throw std::runtime_error("ECAM window: 1 to 256 buses");
  TRange range;
  range.Base = base;
  range.Size = static_cast<std::uint64_t>(buses) << 20;
  range.Ecam = true;
  InsertRange(std::move(range));
  m_EcamBase = base;
}

void TVirtualBoard::FailPort(std::uint16_t first, std::uint16_t last) {
  for (std::uint32_t p = first; p <= last; ++p) m_FailedPorts[p] = true;
}

const TVirtualBoard::TRange* TVirtualBoard::FindRange(std::uint64_t address) const {
  auto it = std::upper_bound(m_Ranges.begin(), m_Ranges.end(), address,
                             [](std::uint64_t a, const TRange& r) { return a < r.Base; });
  if (it == m_Ranges.begin()) return nullptr;
  --it;
  return address - it->Base < it->Size ? &*it : nullptr;
}

TVirtualBoard::TRange* TVirtualBoard::FindRange(std::uint64_t address) {
  return const_cast<TRange*>(std::as_const(*this).FindRange(address));
}

bool TVirtualBoard::PciFailed(std::uint16_t bdf) const {
  return !m_FailedPci.empty() && m_FailedPci.count(bdf) != 0;
}

// Whether [address, address + length) is fully backed and free of injected faults.
bool TVirtualBoard::MemoryMapped(std::uint64_t address, std::uint32_t length) const {
  if (length == 0) return true;
  const std::uint64_t end = address + length;
  if (end < address) return false;
  for (const auto& fault : m_FailedMemory) {
    if (address < fault.Base + fault.Size && fault.Base < end) return false;
  }
  std::uint64_t at = address;
  while (at < end) {
    const TRange* range = FindRange(at);
    if (range == nullptr) return false;
    const std::uint64_t rangeEnd = range->Base + range->Size;
    if (range->Ecam && !m_FailedPci.empty()) {
      for (std::uint64_t page = at & ~0xFFFull; page < std::min(end, rangeEnd); page += 0x1000) {
        if (PciFailed(static_cast<std::uint16_t>((page - range->Base) >> 12))) return false;
      }
    }
    at = rangeEnd;
  }
  return true;
}

std::uint32_t TVirtualBoard::RangeRead(TRange& range, std::uint64_t address, unsigned width) {
  const std::uint64_t offset = address - range.Base;
  if (range.Device != nullptr) return range.Device->Read(offset, width);
  std::uint32_t value = AllOnes(width);
  PciRead(static_cast<std::uint16_t>(offset >> 12), static_cast<std::uint16_t>(offset & 0xFFF),
          width, value);
  return value;
}

void TVirtualBoard::RangeWrite(TRange& range, std::uint64_t address, unsigned width,
                               std::uint32_t value) {
  const std::uint64_t offset = address - range.Base;
  if (range.Device != nullptr) {
    range.Device->Write(offset, width, value);
    return;
  }
  PciWrite(static_cast<std::uint16_t>(offset >> 12), static_cast<std::uint16_t>(offset & 0xFFF),
           width, value);
}

// The event of one memory request; Ok when the request can be carried out as a whole: a
// unit of 1, 2 or 4 bytes, a length of whole units, and every byte mapped and fault-free.
TTraceEvent TVirtualBoard::MemoryEvent(TTraceKind kind, std::uint64_t address,
                                       std::uint32_t length, unsigned unit) const {
  TTraceEvent event;
  event.Kind = kind;
  event.Address = address;
  event.Width = unit;
  event.Length = length;
  const bool validUnit = unit == 1 || unit == 2 || unit == 4;
  event.Ok = validUnit && length % unit == 0 && MemoryMapped(address, length);
  return event;
}

// Walks a mapped request through the ranges it covers. Plain memory goes as one piece per
// region, `bytes(range, bytes at the position, done, span)`: the bytes are the same
// whatever the access width. Registers go as one access of the unit width each,
// `registers(range, at, done, count, whole)` with the `count` bytes of the caller's buffer
// the unit covers; `whole` is false for a unit that crosses the end of the device or of the
// request: such a unit is not accessed at all.
template <typename Bytes, typename Registers>
void TVirtualBoard::WalkRanges(std::uint64_t address, std::uint32_t length, unsigned unit,
                               Bytes&& bytes, Registers&& registers) {
  std::uint64_t at = address;
  std::uint32_t done = 0;
  while (done < length) {
    TRange& range = *FindRange(at);
    const std::uint64_t inRange = range.Base + range.Size - at;
    if (!range.Bytes.empty()) {
      const auto span = static_cast<std::uint32_t>(std::min<std::uint64_t>(inRange, length - done));
      bytes(range, range.Bytes.data() + (at - range.Base), done, span);
      done += span;
      at += span;
      continue;
    }
    // After a plain region whose size is no multiple of the unit, the last unit of the
    // request can be cut short by its end: only `count` bytes of it belong to the caller.
    const std::uint32_t count = std::min<std::uint32_t>(unit, length - done);
    registers(range, at, done, count, inRange >= unit && count == unit);
    done += count;
    at += count;
  }
}

bool TVirtualBoard::MemoryRead(std::uint64_t address, void* buffer, std::uint32_t length,
                               unsigned unit) {
  TTraceEvent event = MemoryEvent(TTraceKind::MemRead, address, length, unit);
  if (!event.Ok) {
    m_Trace.Record(std::move(event));
    return false;
  }
  auto* out = static_cast<std::uint8_t*>(buffer);
  WalkRanges(
      address, length, unit,
      [&](const TRange&, const std::uint8_t* region, std::uint32_t done, std::uint32_t span) {
        std::memcpy(out + done, region, span);
      },
      [&](TRange& range, std::uint64_t at, std::uint32_t done, std::uint32_t count, bool whole) {
        // A unit that crosses the end of the device or the request reads as all ones.
        const std::uint32_t value = whole ? RangeRead(range, at, unit) : AllOnes(unit);
        std::memcpy(out + done, &value, count);
      });
  if (length == unit) {
    std::uint32_t value = 0;
    std::memcpy(&value, out, unit);
    event.Value = value;
  }
  m_Trace.Record(std::move(event));
  return true;
}

bool TVirtualBoard::MemoryWrite(std::uint64_t address, const void* buffer, std::uint32_t length,
                                unsigned unit) {
  TTraceEvent event = MemoryEvent(TTraceKind::MemWrite, address, length, unit);
  if (event.Ok && length == unit) {
    std::uint32_t value = 0;
    std::memcpy(&value, buffer, unit);
    event.Value = value;
  }
  const bool ok = event.Ok;
  m_Trace.Record(std::move(event));
  if (!ok) return false;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  WalkRanges(
      address, length, unit,
      [&](const TRange& range, std::uint8_t* region, std::uint32_t done, std::uint32_t span) {
        if (!range.ReadOnly) std::memcpy(region, in + done, span);
      },
      [&](TRange& range, std::uint64_t at, std::uint32_t done, std::uint32_t count, bool whole) {
        std::uint32_t value = 0;
        std::memcpy(&value, in + done, count);
        // Nothing past the end of the device, and no register write of a cut-short unit.
        if (whole) RangeWrite(range, at, unit, value);
      });
  return true;
}

bool TVirtualBoard::PeekMemory(std::uint64_t address, void* buffer, std::uint32_t length) const {
  auto* out = static_cast<std::uint8_t*>(buffer);
  for (std::uint32_t i = 0; i < length; ++i) {
    const TRange* range = FindRange(address + i);
    if (range == nullptr || range->Bytes.empty()) return false;
    out[i] = range->Bytes[address + i - range->Base];
  }
  return true;
}

bool TVirtualBoard::PokeMemory(std::uint64_t address, const void* buffer, std::uint32_t length) {
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  for (std::uint32_t i = 0; i < length; ++i) {
    TRange* range = FindRange(address + i);
    if (range == nullptr || range->Bytes.empty()) return false;
    range->Bytes[address + i - range->Base] = in[i];
  }
  return true;
}

bool TVirtualBoard::PciRead(std::uint16_t bdf, std::uint16_t reg, unsigned width,
                            std::uint32_t& value) {
  TTraceEvent event;
  event.Kind = TTraceKind::PciRead;
  event.Address = bdf;
  event.Register = reg;
  event.Width = width;
  TPciFunction* function = PciFailed(bdf) ? nullptr : PciFunction(bdf);
  value = function != nullptr ? function->Read(reg, width) & AllOnes(width) : AllOnes(width);
  event.Value = value;
  event.Ok = function != nullptr;
  m_Trace.Record(std::move(event));
  return function != nullptr;
}

bool TVirtualBoard::PciWrite(std::uint16_t bdf, std::uint16_t reg, unsigned width,
                             std::uint32_t value) {
  TTraceEvent event;
  event.Kind = TTraceKind::PciWrite;
  event.Address = bdf;
  event.Register = reg;
  event.Width = width;
  event.Value = value & AllOnes(width);
  TPciFunction* function = PciFailed(bdf) ? nullptr : PciFunction(bdf);
  event.Ok = function != nullptr;
  m_Trace.Record(std::move(event));
  if (function != nullptr) function->Write(reg, width, value & AllOnes(width));
  return function != nullptr;
}

bool TVirtualBoard::PortRead(std::uint16_t port, unsigned width, std::uint32_t& value) {
  TTraceEvent event;
  event.Kind = TTraceKind::PortRead;
  event.Address = port;
  event.Width = width;
  if (m_FailedPorts[port]) {
    event.Ok = false;
    m_Trace.Record(std::move(event));
    return false;
  }
  TPortDevice* device = PortDeviceAt(port);
  value = (device != nullptr ? device->Read(port, width) : 0xFFFFFFFFu) & AllOnes(width);
  event.Value = value;
  m_Trace.Record(std::move(event));
  return true;
}

bool TVirtualBoard::PortWrite(std::uint16_t port, unsigned width, std::uint32_t value) {
  TTraceEvent event;
  event.Kind = TTraceKind::PortWrite;
  event.Address = port;
  event.Width = width;
  event.Value = value & AllOnes(width);
  event.Ok = !m_FailedPorts[port];
  m_Trace.Record(std::move(event));
  if (m_FailedPorts[port]) return false;
  if (TPortDevice* device = PortDeviceAt(port)) device->Write(port, width, value & AllOnes(width));
  return true;
}

// The driver's configuration cycle is the real port pair: address word to 0xCF8, then the
// data port, so the trace shows both cycles and the decoded access between them.
bool TVirtualBoard::PciConfigRead(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                                  std::uint32_t& value) {
  if (!PortWrite(0xCF8, 4, address)) return false;
  if (PciFailed(static_cast<std::uint16_t>(address >> 8))) {
    // The function fails: the data cycle does not complete.
    TTraceEvent event;
    event.Kind = TTraceKind::PortRead;
    event.Address = dataPort;
    event.Width = width;
    event.Ok = false;
    m_Trace.Record(std::move(event));
    return false;
  }
  return PortRead(dataPort, width, value);
}

bool TVirtualBoard::PciConfigWrite(std::uint32_t address, std::uint16_t dataPort, unsigned width,
                                   std::uint32_t value) {
  if (!PortWrite(0xCF8, 4, address)) return false;
  if (PciFailed(static_cast<std::uint16_t>(address >> 8))) {
    TTraceEvent event;
    event.Kind = TTraceKind::PortWrite;
    event.Address = dataPort;
    event.Width = width;
    event.Value = value & AllOnes(width);
    event.Ok = false;
    m_Trace.Record(std::move(event));
    return false;
  }
  return PortWrite(dataPort, width, value);
}

// MSRs, performance counters and control registers are registers by index; `slot` is the
// board's register, or null when the board has none at that index. A missing register fails
// the access and changes nothing: a failed read leaves `value` as it was and is traced with
// the value 0.
bool TVirtualBoard::RegisterRead(TTraceKind kind, std::uint32_t index, const std::uint64_t* slot,
                                 std::uint64_t& value) {
  TTraceEvent event;
  event.Kind = kind;
  event.Address = index;
  event.Ok = slot != nullptr;
  if (event.Ok) value = *slot;
  event.Value = event.Ok ? value : 0;
  m_Trace.Record(std::move(event));
  return slot != nullptr;
}

bool TVirtualBoard::RegisterWrite(TTraceKind kind, std::uint32_t index, std::uint64_t* slot,
                                  std::uint64_t value) {
  TTraceEvent event;
  event.Kind = kind;
  event.Address = index;
  event.Value = value;
  event.Ok = slot != nullptr;
  if (event.Ok) *slot = value;
  m_Trace.Record(std::move(event));
  return slot != nullptr;
}

namespace {
std::uint64_t* Listed(std::map<std::uint32_t, std::uint64_t>& registers, std::uint32_t index) {
  auto it = registers.find(index);
  return it == registers.end() ? nullptr : &it->second;
}
}  // namespace

std::uint64_t* TVirtualBoard::ControlRegister(std::uint32_t index) {
  return index < ControlRegisters.size() ? &ControlRegisters[index] : nullptr;
}

bool TVirtualBoard::ReadMsr(std::uint32_t index, std::uint64_t& value) {
  return RegisterRead(TTraceKind::MsrRead, index, Listed(Msrs, index), value);
}

// An MSR the board does not list does not exist: on a processor that would be a general
// protection fault; the board fails the access instead.
bool TVirtualBoard::WriteMsr(std::uint32_t index, std::uint64_t value) {
  return RegisterWrite(TTraceKind::MsrWrite, index, Listed(Msrs, index), value);
}

bool TVirtualBoard::ReadTsc(std::uint64_t& value) {
  value = Tsc;
  Tsc += TscStep;
  TTraceEvent event;
  event.Kind = TTraceKind::TscRead;
  event.Value = value;
  m_Trace.Record(std::move(event));
  return true;
}

bool TVirtualBoard::ReadPmc(std::uint32_t index, std::uint64_t& value) {
  return RegisterRead(TTraceKind::PmcRead, index, Listed(Pmcs, index), value);
}

bool TVirtualBoard::ReadCr(std::uint32_t index, std::uint64_t& value) {
  return RegisterRead(TTraceKind::CrRead, index, ControlRegister(index), value);
}

bool TVirtualBoard::WriteCr(std::uint32_t index, std::uint64_t value) {
  return RegisterWrite(TTraceKind::CrWrite, index, ControlRegister(index), value);
}

void TVirtualBoard::Cpuid(TCpuidRegisters& regs) {
  TTraceEvent event;
  event.Kind = TTraceKind::Cpuid;
  event.Address = regs.Eax;
  event.Register = static_cast<std::uint16_t>(regs.Ecx);
  const TCpuidLeaf* found = nullptr;
  for (const auto& leaf : CpuidLeaves) {
    if (leaf.Leaf != regs.Eax) continue;
    if (!leaf.AnySubleaf && leaf.Subleaf == regs.Ecx) {
      found = &leaf;
      break;
    }
    if (leaf.AnySubleaf && found == nullptr) found = &leaf;
  }
  // A leaf the board does not list answers zeros.
  regs = found != nullptr ? found->Out : TCpuidRegisters{};
  event.Ok = found != nullptr;
  m_Trace.Record(std::move(event));
}

bool TVirtualBoard::SetAffinity(std::uint64_t mask) {
  TTraceEvent event;
  event.Kind = TTraceKind::Affinity;
  event.Address = mask;
  const std::uint64_t valid = Processors >= 64 ? ~0ull : (1ull << Processors) - 1;
  event.Ok = mask != 0 && (mask & ~valid) == 0;
  if (event.Ok) AffinityMask = mask;
  const bool ok = event.Ok;
  m_Trace.Record(std::move(event));
  return ok;
}

bool TVirtualBoard::QueryOsVersion(TOsVersionInfo& info) {
  if (OsQueryFails) return false;
  info = Os;
  info.ProcessorCount = Processors;
  return true;
}

std::uint32_t TVirtualBoard::InjectedStatus(std::uint32_t code) {
  if (m_FailedRequests.empty()) return 0;
  auto it = m_FailedRequests.find(code);
  if (it == m_FailedRequests.end() || it->second.Remaining == 0) return 0;
  if (it->second.Remaining > 0) --it->second.Remaining;
  return it->second.Status;
}
