#include "sim/AccessTrace.h"

#include <ostream>

#include <nlohmann/json.hpp>

const char* TraceKindName(TTraceKind kind) {
  switch (kind) {
    case TTraceKind::PortRead: return "in";
    case TTraceKind::PortWrite: return "out";
    case TTraceKind::PciRead: return "pci_read";
    case TTraceKind::PciWrite: return "pci_write";
    case TTraceKind::MemRead: return "mem_read";
    case TTraceKind::MemWrite: return "mem_write";
    case TTraceKind::MsrRead: return "rdmsr";
    case TTraceKind::MsrWrite: return "wrmsr";
    case TTraceKind::CrRead: return "cr_read";
    case TTraceKind::CrWrite: return "cr_write";
    case TTraceKind::TscRead: return "rdtsc";
    case TTraceKind::PmcRead: return "rdpmc";
    case TTraceKind::Cpuid: return "cpuid";
    case TTraceKind::Affinity: return "affinity";
    case TTraceKind::State: return "state";
    case TTraceKind::Pin: return "pin";
    case TTraceKind::Run: return "run";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& os, const TPortCycle& cycle) {
  char text[64];
  std::snprintf(text, sizeof(text), "%s 0x%x %s 0x%x", cycle.Write ? "out" : "in", cycle.Port,
                cycle.Write ? "<-" : "->", cycle.Value);
  os << text;
  if (cycle.Width != 1) os << " (" << cycle.Width << " bytes)";
  return os;
}

void PrintTo(const TPortCycle& cycle, std::ostream* os) { *os << cycle; }

std::ostream& operator<<(std::ostream& os, const TPinChange& change) {
  os << change.Owner << " " << change.Chip;
  if (change.Port >= 0) {
    char port[24];
    std::snprintf(port, sizeof port, "@0x%llx", static_cast<unsigned long long>(change.Port));
    os << port;
  }
  return os << " " << change.Pin << " " << change.State << " " << change.Level;
}

void PrintTo(const TPinChange& change, std::ostream* os) { *os << change; }

TAccessTrace::TAccessTrace() : m_Start(std::chrono::steady_clock::now()) {}

TAccessTrace::~TAccessTrace() { CloseLog(); }

void TAccessTrace::Record(TTraceEvent event) {
  event.Sequence = ++m_Sequence;
  if (m_Log == nullptr && !m_Keep) return;
  event.Microseconds = static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                            m_Start)
          .count());
  if (m_Log != nullptr) {
    const std::string line = ToJson(event).dump() + "\n";
    std::fwrite(line.data(), 1, line.size(), m_Log);
    std::fflush(m_Log);
  }
  if (!m_Keep) return;
  if (m_Events.size() >= kMaxKept) m_Events.erase(m_Events.begin(), m_Events.begin() + kMaxKept / 2);
  m_Events.push_back(std::move(event));
}

void TAccessTrace::RunEvent(const nlohmann::json& event) {
  TTraceEvent e;
  e.Kind = TTraceKind::Run;
  e.Detail = event.dump();
  Record(std::move(e));
}

std::int64_t TAccessTrace::OriginUnixMicroseconds() const {
  using namespace std::chrono;
  const auto sinceOrigin = duration_cast<microseconds>(steady_clock::now() - m_Start);
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count() -
         sinceOrigin.count();
}

void TAccessTrace::State(const std::string& device, const nlohmann::json& state) {
  TTraceEvent event;
  event.Kind = TTraceKind::State;
  event.Device = device;
  event.Detail = state.dump();
  Record(std::move(event));
}

void TAccessTrace::Pin(const nlohmann::json& fields) {
  TTraceEvent event;
  event.Kind = TTraceKind::Pin;
  event.Detail = fields.dump();
  Record(std::move(event));
}

std::vector<TPinChange> TAccessTrace::PinChanges() const {
  std::vector<TPinChange> changes;
  for (const auto& e : m_Events) {
    if (e.Kind != TTraceKind::Pin) continue;
    const nlohmann::json fields = nlohmann::json::parse(e.Detail, nullptr, false);
    if (!fields.is_object()) continue;
    TPinChange change;
    change.Owner = fields.value("owner", "");
    change.Chip = fields.value("chip", "");
    change.Port = fields.value("port", std::int64_t{-1});
    change.Pin = fields.value("pin", "");
    change.State = fields.value("state", "");
    change.Level = fields.value("level", 0);
    changes.push_back(std::move(change));
  }
  return changes;
}

std::vector<TPortCycle> TAccessTrace::PortCycles() const {
  std::vector<TPortCycle> cycles;
  for (const auto& e : m_Events) {
    if (e.Kind == TTraceKind::PortRead || e.Kind == TTraceKind::PortWrite) {
      cycles.push_back({e.Kind == TTraceKind::PortWrite, static_cast<std::uint16_t>(e.Address),
                        static_cast<std::uint32_t>(e.Value), e.Width});
    }
  }
  return cycles;
}

std::vector<TTraceEvent> TAccessTrace::OfKind(TTraceKind kind) const {
  std::vector<TTraceEvent> events;
  for (const auto& e : m_Events) {
    if (e.Kind == kind) events.push_back(e);
  }
  return events;
}

bool TAccessTrace::OpenLog(const std::string& path) {
  CloseLog();
  // Emptied first, then appended to: each line lands at the end of the file, whoever else
  // appended meanwhile.
  m_Log = std::fopen(path.c_str(), "w");
  if (m_Log == nullptr) return false;
  std::fclose(m_Log);
  m_Log = std::fopen(path.c_str(), "a");
  return m_Log != nullptr;
}

void TAccessTrace::CloseLog() {
  if (m_Log != nullptr) std::fclose(m_Log);
  m_Log = nullptr;
}

nlohmann::json TAccessTrace::ToJson(const TTraceEvent& e) {
  nlohmann::json j;
  j["seq"] = e.Sequence;
  j["us"] = e.Microseconds;
  j["kind"] = TraceKindName(e.Kind);
  switch (e.Kind) {
    case TTraceKind::PortRead:
    case TTraceKind::PortWrite:
      j["port"] = e.Address;
      j["width"] = e.Width;
      j["value"] = e.Value;
      break;
    case TTraceKind::PciRead:
    case TTraceKind::PciWrite:
      j["bus"] = e.Address >> 8;
      j["device"] = (e.Address >> 3) & 0x1F;
      j["function"] = e.Address & 7;
      j["register"] = e.Register;
      j["width"] = e.Width;
      j["value"] = e.Value;
      break;
    case TTraceKind::MemRead:
    case TTraceKind::MemWrite:
      j["address"] = e.Address;
      j["length"] = e.Length;
      j["width"] = e.Width;
      if (e.Length == e.Width) j["value"] = e.Value;
      break;
    case TTraceKind::MsrRead:
    case TTraceKind::MsrWrite:
    case TTraceKind::CrRead:
    case TTraceKind::CrWrite:
    case TTraceKind::PmcRead:
      j["index"] = e.Address;
      j["value"] = e.Value;
      break;
    case TTraceKind::TscRead:
      j["value"] = e.Value;
      break;
    case TTraceKind::Cpuid:
      j["leaf"] = e.Address;
      j["subleaf"] = e.Register;
      break;
    case TTraceKind::Affinity:
      j["mask"] = e.Address;
      break;
    case TTraceKind::State:
      j["device"] = e.Device;
      j["state"] = nlohmann::json::parse(e.Detail, nullptr, false);
      break;
    case TTraceKind::Run: {
      const nlohmann::json fields = nlohmann::json::parse(e.Detail, nullptr, false);
      if (fields.is_object()) {
        for (const auto& [key, value] : fields.items()) {
          if (key != "seq" && key != "us") j[key] = value;  // its own "kind" replaces "run"
        }
      }
      break;
    }
    case TTraceKind::Pin: {
      const nlohmann::json fields = nlohmann::json::parse(e.Detail, nullptr, false);
      if (fields.is_object()) {
        for (const auto& [key, value] : fields.items()) {
          if (!j.contains(key)) j[key] = value;  // never over the event's own seq, us, kind
        }
      }
      break;
    }
  }
  if (!e.Ok) j["ok"] = false;
  return j;
}
