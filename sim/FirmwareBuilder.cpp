#include "sim/FirmwareBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "sim/BoardJson.h"
#include "sim/VirtualBoard.h"

namespace {

using json = nlohmann::json;
using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t kAcpiHeader = 36;

[[noreturn]] void Fail(const std::string& what, const std::string& why) {
  throw std::runtime_error(what + ": " + why);
}

void Put(TBytes& b, std::size_t offset, std::uint64_t value, unsigned width) {
  if (b.size() < offset + width) b.resize(offset + width, 0);
  for (unsigned i = 0; i < width; ++i) b[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Sets the byte at `at` so that bytes [begin, begin + length) sum to 0.
void SealChecksum(TBytes& b, std::size_t at, std::size_t begin, std::size_t length) {
  b[at] = 0;
  std::uint8_t sum = 0;
  for (std::size_t i = begin; i < begin + length; ++i) sum = static_cast<std::uint8_t>(sum + b[i]);
  b[at] = static_cast<std::uint8_t>(0x100 - sum);
}

std::uint64_t Num(const json& object, const char* key, std::uint64_t fallback,
                  const std::string& path, std::uint64_t max) {
  return board::NumberOr(object, key, fallback, path + "." + key, max);
}

void CheckObject(const json& value, const std::string& what) {
  if (!value.is_object()) Fail(what, "expected an object");
}

// A misspelt field would otherwise be ignored silently and its default used.
void CheckKeys(const json& object, const std::string& what,
               std::initializer_list<const char*> keys) {
  for (const auto& [key, value] : object.items()) {
    (void)value;
    bool known = key == "comment";
    for (const char* k : keys) known = known || key == k;
    if (!known) Fail(what, "unknown field \"" + key + "\"");
  }
}

const json& Member(const json& object, const char* key, const std::string& what) {
  if (!object.contains(key)) Fail(what, std::string("missing \"") + key + "\"");
  return object[key];
}

// Text for an ANSI firmware field: ASCII and Latin-1 characters (written in UTF-8 in the
// board file) become one byte each; anything else cannot be represented.
TBytes Ansi(const json& value, const std::string& what, std::size_t maxLength) {
  if (!value.is_string()) Fail(what, "expected a string");
  const std::string& text = value.get_ref<const std::string&>();
  TBytes out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<std::uint8_t>(text[i]);
    if (c < 0x80) {
      out.push_back(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
               (static_cast<std::uint8_t>(text[i + 1]) & 0xC0) == 0x80) {
      out.push_back(static_cast<std::uint8_t>((c & 0x03) << 6 | (text[i + 1] & 0x3F)));
      ++i;
    } else {
      Fail(what, "only ASCII and Latin-1 characters can be stored");
    }
  }
  if (out.size() > maxLength) Fail(what, "longer than " + std::to_string(maxLength) + " bytes");
  return out;
}

// A fixed-width text field padded with `pad`.
TBytes Padded(const json& object, const char* key, const char* fallback, std::size_t width,
              const std::string& path) {
  TBytes text = object.contains(key) ? Ansi(object[key], path + "." + key, width)
                                     : TBytes(fallback, fallback + std::strlen(fallback));
  text.resize(width, ' ');
  return text;
}

char OneChar(const json& object, const char* key, char fallback, const std::string& path) {
  if (!object.contains(key)) return fallback;
  TBytes c = Ansi(object[key], path + "." + key, 1);
  if (c.size() != 1) Fail(path + "." + key, "expected one character");
  return static_cast<char>(c[0]);
}

// A table body: "text" (its bytes as written) followed by "hex" (a byte list).
TBytes Body(const json& object, const std::string& path) {
  TBytes body;
  if (object.contains("text")) {
    if (!object["text"].is_string()) Fail(path + ".text", "expected a string");
    const std::string& t = object["text"].get_ref<const std::string&>();
    body.assign(t.begin(), t.end());
  }
  if (object.contains("hex")) {
    TBytes hex = board::Bytes(object["hex"], path + ".hex");
    body.insert(body.end(), hex.begin(), hex.end());
  }
  return body;
}

// ---------------------------------------------------------------- identity record

void BuildIdentity(const json& id, const std::string& path, TFirmwareImage& image) {
  CheckObject(id, path);
  CheckKeys(id, path, {"address", "project", "version", "date", "corrupt_copy"});
  TBytes record(64, 0);
  std::memcpy(record.data(), "$CN1368$", 8);
  TBytes name = id.contains("project") ? Ansi(id["project"], path + ".project", 32) : TBytes{};
  std::copy(name.begin(), name.end(), record.begin() + 10);
  json version = id.value("version", json::object());
  CheckObject(version, path + ".version");
  CheckKeys(version, path + ".version", {"letter", "major", "minor", "suffix"});
  const std::string vpath = path + ".version";
  record[42] = static_cast<std::uint8_t>(OneChar(version, "letter", 'P', vpath));
  record[43] = static_cast<std::uint8_t>(Num(version, "major", 1, vpath, 0xFF));
  record[44] = static_cast<std::uint8_t>(Num(version, "minor", 0, vpath, 0xFF));
  record[45] = static_cast<std::uint8_t>(OneChar(version, "suffix", '0', vpath));
  unsigned year = 2026, month = 1, day = 1;
  if (id.contains("date")) {
    const json& d = id["date"];
    char tail = 0;
    if (!d.is_string() ||
        std::sscanf(d.get_ref<const std::string&>().c_str(), "%u/%u/%u%c", &year, &month, &day,
                    &tail) != 3 ||
        year > 0xFFFF || month > 0xFF || day > 0xFF)
      Fail(path + ".date", "expected \"YYYY/MM/DD\"");
  }
  Put(record, 46, year, 2);
  record[48] = static_cast<std::uint8_t>(month);
  record[49] = static_cast<std::uint8_t>(day);
  // Bytes 50-63 are not interpreted; the last one carries the checksum.
  SealChecksum(record, 63, 0, 64);

  if (id.contains("corrupt_copy")) {
    // A copy whose checksum fails, as a stale record left by a flash tool; it may carry a
    // project name of its own, so a reader that takes it shows in the result.
    const json& c = id["corrupt_copy"];
    const std::string cpath = path + ".corrupt_copy";
    CheckObject(c, cpath);
    CheckKeys(c, cpath, {"address", "project"});
    TBytes bad = record;
    if (c.contains("project")) {
      TBytes other = Ansi(c["project"], cpath + ".project", 32);
      std::fill(bad.begin() + 10, bad.begin() + 42, 0);
      std::copy(other.begin(), other.end(), bad.begin() + 10);
    }
    SealChecksum(bad, 63, 0, 64);
    bad[63] = static_cast<std::uint8_t>(bad[63] + 1);
    image.Blobs.push_back({cpath, board::Number(Member(c, "address", cpath), cpath + ".address",
                                                0xFFFFFFFF),
                           std::move(bad)});
  }
  image.Blobs.push_back({path, Num(id, "address", 0xF0000, path, 0xFFFFFFFF), std::move(record)});
}

// ---------------------------------------------------------------- ACPI

struct TAcpiDefaults {
  TBytes OemId, OemTableId;
  std::uint64_t OemRevision;
};

TBytes AcpiTable(const char* signature, const json& desc, const std::string& path,
                 const TAcpiDefaults& defaults, std::uint8_t revision) {
  TBytes t(kAcpiHeader, 0);
  std::memcpy(t.data(), signature, 4);
  t[8] = static_cast<std::uint8_t>(Num(desc, "revision", revision, path, 0xFF));
  std::string oemId(defaults.OemId.begin(), defaults.OemId.end());
  std::string oemTableId(defaults.OemTableId.begin(), defaults.OemTableId.end());
  TBytes id = Padded(desc, "oem_id", oemId.c_str(), 6, path);
  TBytes tableId = Padded(desc, "oem_table_id", oemTableId.c_str(), 8, path);
  std::copy(id.begin(), id.end(), t.begin() + 10);
  std::copy(tableId.begin(), tableId.end(), t.begin() + 16);
  Put(t, 24, Num(desc, "oem_revision", defaults.OemRevision, path, 0xFFFFFFFF), 4);
  std::memcpy(t.data() + 28, "GVRL", 4);
  Put(t, 32, 1, 4);
  return t;
}

// Length and checksum once the body is complete.
void SealTable(TBytes& t) {
  Put(t, 4, t.size(), 4);
  SealChecksum(t, 9, 0, t.size());
}

struct TPlacedTable {
  TBytes Bytes;
  std::uint64_t Address = 0;
};

class TAcpiLayout {
 public:
  explicit TAcpiLayout(std::uint64_t base) : m_Base(base) {}
  std::uint64_t Place(TBytes bytes, std::uint64_t alignment) {
    std::size_t offset = (m_Blob.size() + alignment - 1) / alignment * alignment;
    m_Blob.resize(offset, 0);
    m_Blob.insert(m_Blob.end(), bytes.begin(), bytes.end());
    return m_Base + offset;
  }
  // Where the next table of `alignment` will go.
  std::uint64_t Next(std::uint64_t alignment) const {
    return m_Base + (m_Blob.size() + alignment - 1) / alignment * alignment;
  }
  void Patch(std::uint64_t address, std::size_t offset, std::uint64_t value, unsigned width) {
    Put(m_Blob, static_cast<std::size_t>(address - m_Base) + offset, value, width);
  }
  void Reseal(std::uint64_t address) {
    std::size_t at = static_cast<std::size_t>(address - m_Base);
    std::uint32_t length = static_cast<std::uint32_t>(m_Blob[at + 4] | m_Blob[at + 5] << 8 |
                                                      m_Blob[at + 6] << 16 | m_Blob[at + 7] << 24);
    m_Blob[at + 9] = 0;
    std::uint8_t sum = 0;
    for (std::size_t i = at; i < at + length; ++i) sum = static_cast<std::uint8_t>(sum + m_Blob[i]);
    m_Blob[at + 9] = static_cast<std::uint8_t>(0x100 - sum);
  }
  TBytes& Blob() { return m_Blob; }
  std::uint64_t Base() const { return m_Base; }

 private:
  std::uint64_t m_Base;
  TBytes m_Blob;
};

TBytes BuildFadt(const json& f, const std::string& path, const TAcpiDefaults& d,
                 std::uint64_t facs, std::uint64_t dsdt) {
  CheckKeys(f, path, {"revision", "oem_id", "oem_table_id", "oem_revision", "length", "sci_int",
                      "smi_cmd", "acpi_enable", "acpi_disable", "s4bios_req", "pstate_cnt",
                      "pm1a_evt_blk", "pm1a_cnt_blk", "pm_tmr_blk", "flags", "x_pointers_only"});
  TBytes t = AcpiTable("FACP", f, path, d, 4);
  std::size_t length = Num(f, "length", 244, path, 4096);
  if (length < 116) Fail(path + ".length", "an FADT holds at least 116 bytes");
  // Modern firmware may fill in only the 64-bit X_FIRMWARE_CTRL and X_DSDT.
  const bool xOnly = f.value("x_pointers_only", false);
  if (xOnly && length < 148) Fail(path + ".x_pointers_only", "needs an FADT of at least 148 bytes");
  t.resize(length, 0);
  Put(t, 36, xOnly ? 0 : facs, 4);
  Put(t, 40, xOnly ? 0 : dsdt, 4);
  Put(t, 46, Num(f, "sci_int", 9, path, 0xFFFF), 2);
  Put(t, 48, Num(f, "smi_cmd", 0xB2, path, 0xFFFFFFFF), 4);
  t[52] = static_cast<std::uint8_t>(Num(f, "acpi_enable", 0xF1, path, 0xFF));
  t[53] = static_cast<std::uint8_t>(Num(f, "acpi_disable", 0xF0, path, 0xFF));
  t[54] = static_cast<std::uint8_t>(Num(f, "s4bios_req", 0, path, 0xFF));
  t[55] = static_cast<std::uint8_t>(Num(f, "pstate_cnt", 0, path, 0xFF));
  std::uint64_t pm1a = Num(f, "pm1a_evt_blk", 0x600, path, 0xFFFFFFFF);
  Put(t, 56, pm1a, 4);
  Put(t, 64, Num(f, "pm1a_cnt_blk", pm1a + 4, path, 0xFFFFFFFF), 4);
  Put(t, 76, Num(f, "pm_tmr_blk", pm1a + 8, path, 0xFFFFFFFF), 4);
  t[88] = 4;  // PM1_EVT_LEN
  t[89] = 2;  // PM1_CNT_LEN
  t[91] = 4;  // PM_TMR_LEN
  Put(t, 112, Num(f, "flags", 0x1A5, path, 0xFFFFFFFF), 4);
  if (length >= 148) {
    Put(t, 132, facs, 8);  // X_FIRMWARE_CTRL
    Put(t, 140, dsdt, 8);  // X_DSDT
  }
  SealTable(t);
  return t;
}

TBytes BuildMadt(const json& m, const std::string& path, const TAcpiDefaults& d) {
  CheckKeys(m, path, {"revision", "oem_id", "oem_table_id", "oem_revision", "local_apic", "flags",
                      "processors", "io_apics", "entries"});
  TBytes t = AcpiTable("APIC", m, path, d, 3);
  Put(t, 36, Num(m, "local_apic", 0xFEE00000, path, 0xFFFFFFFF), 4);
  Put(t, 40, Num(m, "flags", 1, path, 0xFFFFFFFF), 4);
  std::uint64_t processors = Num(m, "processors", 1, path, 255);
  for (std::uint64_t i = 0; i < processors; ++i) {
    std::size_t at = t.size();
    t.resize(at + 8, 0);
    t[at] = 0;  // processor local APIC
    t[at + 1] = 8;
    t[at + 2] = static_cast<std::uint8_t>(i);  // ACPI processor UID
    t[at + 3] = static_cast<std::uint8_t>(i);  // APIC id
    Put(t, at + 4, 1, 4);                      // enabled
  }
  json ioApics = m.value("io_apics", json::array({json::object()}));
  if (!ioApics.is_array()) Fail(path + ".io_apics", "expected an array");
  for (std::size_t i = 0; i < ioApics.size(); ++i) {
    const std::string p = path + ".io_apics[" + std::to_string(i) + "]";
    CheckObject(ioApics[i], p);
    std::size_t at = t.size();
    t.resize(at + 12, 0);
    t[at] = 1;  // I/O APIC
    t[at + 1] = 12;
    t[at + 2] = static_cast<std::uint8_t>(Num(ioApics[i], "id", processors + i, p, 0xFF));
    Put(t, at + 4, Num(ioApics[i], "address", 0xFEC00000, p, 0xFFFFFFFF), 4);
    Put(t, at + 8, Num(ioApics[i], "gsi_base", 0, p, 0xFFFFFFFF), 4);
  }
  if (m.contains("entries")) {
    if (!m["entries"].is_array()) Fail(path + ".entries", "expected an array");
    for (std::size_t i = 0; i < m["entries"].size(); ++i) {
      TBytes raw = board::Bytes(m["entries"][i], path + ".entries[" + std::to_string(i) + "]");
      t.insert(t.end(), raw.begin(), raw.end());
    }
  }
  SealTable(t);
  return t;
}

TBytes BuildEcdt(const json& e, const std::string& path, const TAcpiDefaults& d) {
  CheckKeys(e, path, {"revision", "oem_id", "oem_table_id", "oem_revision", "address_space",
                      "command", "data", "uid", "gpe", "id"});
  TBytes t = AcpiTable("ECDT", e, path, d, 1);
  std::uint8_t space = static_cast<std::uint8_t>(Num(e, "address_space", 1, path, 0xFF));
  // EC_CONTROL and EC_DATA generic addresses: space, bit width 8, offset 0, byte access.
  t.resize(65, 0);
  t[36] = space;
  t[37] = 8;
  t[39] = 1;
  Put(t, 40, Num(e, "command", 0x66, path, 0xFFFFFFFF), 8);
  t[48] = space;
  t[49] = 8;
  t[51] = 1;
  Put(t, 52, Num(e, "data", 0x62, path, 0xFFFFFFFF), 8);
  Put(t, 60, Num(e, "uid", 0, path, 0xFFFFFFFF), 4);
  t[64] = static_cast<std::uint8_t>(Num(e, "gpe", 0, path, 0xFF));
  TBytes id = e.contains("id") ? Ansi(e["id"], path + ".id", 255) : TBytes{'\\', '_', 'S', 'B', '.', 'E', 'C', '0'};
  t.insert(t.end(), id.begin(), id.end());
  t.push_back(0);
  SealTable(t);
  return t;
}

TBytes BuildMcfg(const json& m, const std::string& path, const TAcpiDefaults& d) {
  CheckKeys(m, path, {"revision", "oem_id", "oem_table_id", "oem_revision", "allocations"});
  TBytes t = AcpiTable("MCFG", m, path, d, 1);
  t.resize(44, 0);  // 8 reserved bytes after the header
  json allocations = m.value("allocations", json::array());
  if (!allocations.is_array()) Fail(path + ".allocations", "expected an array");
  for (std::size_t i = 0; i < allocations.size(); ++i) {
    const std::string p = path + ".allocations[" + std::to_string(i) + "]";
    CheckObject(allocations[i], p);
    std::size_t at = t.size();
    t.resize(at + 16, 0);
    Put(t, at, Num(allocations[i], "base", 0xB0000000, p, UINT64_MAX), 8);
    Put(t, at + 8, Num(allocations[i], "segment", 0, p, 0xFFFF), 2);
    t[at + 10] = static_cast<std::uint8_t>(Num(allocations[i], "start_bus", 0, p, 0xFF));
    t[at + 11] = static_cast<std::uint8_t>(Num(allocations[i], "end_bus", 255, p, 0xFF));
  }
  SealTable(t);
  return t;
}

TBytes BuildBodyTable(const char* signature, const json& desc, const std::string& path,
                      const TAcpiDefaults& d) {
  CheckKeys(desc, path, {"signature", "revision", "oem_id", "oem_table_id", "oem_revision", "text",
                         "hex"});
  TBytes t = AcpiTable(signature, desc, path, d, 2);
  TBytes body = Body(desc, path);
  t.insert(t.end(), body.begin(), body.end());
  SealTable(t);
  return t;
}

void BuildAcpi(const json& a, const std::string& path, TFirmwareImage& image) {
  CheckObject(a, path);
  CheckKeys(a, path, {"rsdp_address", "revision", "tables_address", "oem_id", "oem_table_id",
                      "oem_revision", "fadt", "facs", "dsdt", "ssdts", "madt", "ecdt", "mcfg",
                      "tables", "rsdt"});
  TAcpiDefaults d{Padded(a, "oem_id", "GAVREL", 6, path),
                  Padded(a, "oem_table_id", "GAVRELO", 8, path),
                  Num(a, "oem_revision", 1, path, 0xFFFFFFFF)};
  std::uint64_t rsdpAddress = Num(a, "rsdp_address", 0xF6000, path, 0xFFFFFFFF);
  if (rsdpAddress % 16 != 0) Fail(path + ".rsdp_address", "the root pointer is 16-byte aligned");
  std::uint64_t revision = Num(a, "revision", 0, path, 0xFF);
  // Firmware of microVMs and some UEFI machines offers the XSDT alone.
  const bool withRsdt = a.value("rsdt", true);
  if (!withRsdt && revision < 2) Fail(path + ".rsdt", "an XSDT alone needs revision 2");
  TAcpiLayout layout(Num(a, "tables_address", 0x1FFF0000, path, 0xFFFFFFFF));

  std::vector<std::uint64_t> listed;  // RSDT entries in order
  if (a.contains("fadt")) {
    const json& f = a["fadt"];
    CheckObject(f, path + ".fadt");
    std::uint64_t facs = 0;
    if (a.value("facs", true)) {
      TBytes facsBytes(64, 0);
      std::memcpy(facsBytes.data(), "FACS", 4);
      Put(facsBytes, 4, 64, 4);
      facs = layout.Place(std::move(facsBytes), 64);
    }
    json dsdtDesc = a.value("dsdt", json::object());
    CheckObject(dsdtDesc, path + ".dsdt");
    std::uint64_t dsdt = layout.Place(BuildBodyTable("DSDT", dsdtDesc, path + ".dsdt", d), 16);
    listed.push_back(layout.Place(BuildFadt(f, path + ".fadt", d, facs, dsdt), 16));
  }
  if (a.contains("madt")) {
    CheckObject(a["madt"], path + ".madt");
    listed.push_back(layout.Place(BuildMadt(a["madt"], path + ".madt", d), 16));
  }
  if (a.contains("ecdt")) {
    CheckObject(a["ecdt"], path + ".ecdt");
    listed.push_back(layout.Place(BuildEcdt(a["ecdt"], path + ".ecdt", d), 16));
  }
  if (a.contains("mcfg")) {
    CheckObject(a["mcfg"], path + ".mcfg");
    listed.push_back(layout.Place(BuildMcfg(a["mcfg"], path + ".mcfg", d), 16));
  }
  if (a.contains("ssdts")) {
    if (!a["ssdts"].is_array()) Fail(path + ".ssdts", "expected an array");
    for (std::size_t i = 0; i < a["ssdts"].size(); ++i) {
      const std::string p = path + ".ssdts[" + std::to_string(i) + "]";
      CheckObject(a["ssdts"][i], p);
      listed.push_back(layout.Place(BuildBodyTable("SSDT", a["ssdts"][i], p, d), 16));
    }
  }
  if (a.contains("tables")) {
    if (!a["tables"].is_array()) Fail(path + ".tables", "expected an array");
    for (std::size_t i = 0; i < a["tables"].size(); ++i) {
      const std::string p = path + ".tables[" + std::to_string(i) + "]";
      const json& t = a["tables"][i];
      CheckObject(t, p);
      TBytes sig = t.contains("signature") ? Ansi(t["signature"], p + ".signature", 4) : TBytes{};
      if (sig.size() != 4) Fail(p + ".signature", "expected four characters");
      std::string s(sig.begin(), sig.end());
      listed.push_back(layout.Place(BuildBodyTable(s.c_str(), t, p, d), 16));
    }
  }

  std::uint64_t rsdtAddress = 0;
  if (withRsdt) {
    TBytes rsdt = AcpiTable("RSDT", json::object(), path + ".rsdt", d, 1);
    for (std::uint64_t address : listed) Put(rsdt, rsdt.size(), address, 4);
    SealTable(rsdt);
    rsdtAddress = layout.Place(std::move(rsdt), 16);
  }
  std::uint64_t xsdtAddress = 0;
  if (revision >= 2) {
    TBytes xsdt = AcpiTable("XSDT", json::object(), path + ".xsdt", d, 1);
    for (std::uint64_t address : listed) Put(xsdt, xsdt.size(), address, 8);
    SealTable(xsdt);
    xsdtAddress = layout.Place(std::move(xsdt), 16);
  }

  TBytes rsdp(revision >= 2 ? 36 : 20, 0);
  std::memcpy(rsdp.data(), "RSD PTR ", 8);
  TBytes oem = d.OemId;
  std::copy(oem.begin(), oem.end(), rsdp.begin() + 9);
  rsdp[15] = static_cast<std::uint8_t>(revision);
  Put(rsdp, 16, rsdtAddress, 4);
  if (revision >= 2) {
    Put(rsdp, 20, 36, 4);
    Put(rsdp, 24, xsdtAddress, 8);
  }
  SealChecksum(rsdp, 8, 0, 20);
  if (revision >= 2) SealChecksum(rsdp, 32, 0, 36);

  image.Blobs.push_back({path + ".rsdp_address", rsdpAddress, std::move(rsdp)});
  image.Blobs.push_back({path + ".tables_address", layout.Base(), std::move(layout.Blob())});
}

// ---------------------------------------------------------------- SMBIOS

void AddStrings(TBytes& s, const std::vector<std::string>& strings) {
  if (strings.empty()) {
    s.push_back(0);
  } else {
    for (const std::string& text : strings) {
      s.insert(s.end(), text.begin(), text.end());
      s.push_back(0);
    }
  }
  s.push_back(0);
}

void BuildSmbios(const json& sm, const std::string& path, TFirmwareImage& image) {
  CheckObject(sm, path);
  CheckKeys(sm, path, {"version", "entry_address", "table_address", "memory_arrays",
                       "memory_devices", "raw_structures", "anchor"});
  const std::string anchor = sm.value("anchor", std::string("_SM_"));
  if (anchor != "_SM_" && anchor != "_SM3_") Fail(path + ".anchor", "\"_SM_\" or \"_SM3_\"");
  unsigned major = 2, minor = 8;
  if (sm.contains("version")) {
    const json& v = sm["version"];
    char tail = 0;
    if (!v.is_string() ||
        std::sscanf(v.get_ref<const std::string&>().c_str(), "%u.%u%c", &major, &minor, &tail) != 2 ||
        major > 0xFF || minor > 0xFF)
      Fail(path + ".version", "expected \"MAJOR.MINOR\"");
  }
  std::uint64_t entry = Num(sm, "entry_address", 0xF7000, path, 0xFFFFFFFF);
  std::uint64_t tableAddress = Num(sm, "table_address", entry + 0x20, path, 0xFFFFFFFF);

  TBytes table;
  std::uint16_t handle = 0;
  std::uint16_t count = 0;
  std::size_t largest = 0;
  auto add = [&](TBytes s) {
    largest = std::max(largest, s.size());
    table.insert(table.end(), s.begin(), s.end());
    ++count;
  };

  json arrays = sm.value("memory_arrays", json::array());
  if (!arrays.is_array()) Fail(path + ".memory_arrays", "expected an array");
  std::uint16_t firstArray = 0xFFFE;
  for (std::size_t i = 0; i < arrays.size(); ++i) {
    const std::string p = path + ".memory_arrays[" + std::to_string(i) + "]";
    CheckObject(arrays[i], p);
    CheckKeys(arrays[i], p, {"devices", "max_capacity_kb"});
    TBytes s(0x17, 0);
    s[0] = 16;
    s[1] = 0x17;
    Put(s, 2, handle, 2);
    if (i == 0) firstArray = handle;
    ++handle;
    s[4] = 3;  // system board
    s[5] = 3;  // system memory
    s[6] = 3;  // no error correction
    Put(s, 7, Num(arrays[i], "max_capacity_kb", 0x2000000, p, 0xFFFFFFFF), 4);
    Put(s, 11, 0xFFFE, 2);
    Put(s, 13, Num(arrays[i], "devices", 2, p, 0xFFFF), 2);
    AddStrings(s, {});
    add(std::move(s));
  }

  json devices = sm.value("memory_devices", json::array());
  if (!devices.is_array()) Fail(path + ".memory_devices", "expected an array");
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const std::string p = path + ".memory_devices[" + std::to_string(i) + "]";
    const json& dev = devices[i];
    CheckObject(dev, p);
    CheckKeys(dev, p, {"size_mb", "size_kb", "size", "extended_mb", "attributes", "locator"});
    TBytes s(0x28, 0);
    s[0] = 17;
    s[1] = 0x28;
    Put(s, 2, handle++, 2);
    Put(s, 4, firstArray, 2);
    Put(s, 6, 0xFFFE, 2);
    Put(s, 8, 64, 2);
    Put(s, 10, 64, 2);
    std::uint64_t size = 0, extended = 0;
    if (dev.contains("size_mb")) {
      std::uint64_t mb = Num(dev, "size_mb", 0, p, 0x7FFFFFFF);
      if (mb >= 0x7FFF) {
        size = 0x7FFF;
        extended = mb;
      } else {
        size = mb;
      }
    } else if (dev.contains("size_kb")) {
      size = 0x8000 | Num(dev, "size_kb", 0, p, 0x7FFF);
    }
    size = Num(dev, "size", size, p, 0xFFFF);
    extended = Num(dev, "extended_mb", extended, p, 0xFFFFFFFF);
    Put(s, 12, size, 2);
    s[14] = 9;   // DIMM
    s[16] = 1;   // device locator: string 1
    s[18] = 0x1A;  // DDR4
    s[27] = static_cast<std::uint8_t>(Num(dev, "attributes", 1, p, 0xFF));
    Put(s, 28, extended, 4);
    std::string locator = "DIMM " + std::to_string(i);
    if (dev.contains("locator")) {
      TBytes l = Ansi(dev["locator"], p + ".locator", 64);
      locator.assign(l.begin(), l.end());
    }
    AddStrings(s, {locator});
    add(std::move(s));
  }

  if (sm.contains("raw_structures")) {
    if (!sm["raw_structures"].is_array()) Fail(path + ".raw_structures", "expected an array");
    for (std::size_t i = 0; i < sm["raw_structures"].size(); ++i)
      add(board::Bytes(sm["raw_structures"][i], path + ".raw_structures[" + std::to_string(i) + "]"));
  }

  TBytes end = {127, 4, 0, 0};
  Put(end, 2, handle, 2);
  AddStrings(end, {});
  add(std::move(end));
  if (table.size() > 0xFFFF) Fail(path, "structure table longer than 65535 bytes");

  if (anchor == "_SM3_") {
    // The SMBIOS 3 entry point: 24 bytes, the table's maximum size and 64-bit address.
    TBytes ep3(24, 0);
    std::memcpy(ep3.data(), "_SM3_", 5);
    ep3[6] = 24;
    ep3[7] = static_cast<std::uint8_t>(major);
    ep3[8] = static_cast<std::uint8_t>(minor);
    ep3[10] = 1;  // entry point revision
    Put(ep3, 12, table.size(), 4);
    Put(ep3, 16, tableAddress, 8);
    SealChecksum(ep3, 5, 0, 24);
    image.Blobs.push_back({path + ".entry_address", entry, std::move(ep3)});
    image.Blobs.push_back({path + ".table_address", tableAddress, std::move(table)});
    return;
  }
  TBytes ep(31, 0);
  std::memcpy(ep.data(), "_SM_", 4);
  ep[5] = 0x1F;
  ep[6] = static_cast<std::uint8_t>(major);
  ep[7] = static_cast<std::uint8_t>(minor);
  Put(ep, 8, largest, 2);
  std::memcpy(ep.data() + 16, "_DMI_", 5);
  Put(ep, 22, table.size(), 2);
  Put(ep, 24, tableAddress, 4);
  Put(ep, 28, count, 2);
  ep[30] = static_cast<std::uint8_t>((major & 0xF) << 4 | (minor & 0xF));
  SealChecksum(ep, 21, 16, 15);  // intermediate anchor
  SealChecksum(ep, 4, 0, 31);

  image.Blobs.push_back({path + ".entry_address", entry, std::move(ep)});
  image.Blobs.push_back({path + ".table_address", tableAddress, std::move(table)});
}

// ---------------------------------------------------------------- systab

host::TFirmwareTableRecord BuildSystab(const json& s, const std::string& path) {
  CheckObject(s, path);
  CheckKeys(s, path, {"acpi20", "acpi", "smbios", "smbios3"});
  host::TFirmwareTableRecord record;
  auto field = [&](const char* key, std::optional<std::uint64_t>& slot) {
    if (s.contains(key)) slot = board::Number(s[key], path + "." + key);
  };
  field("acpi20", record.Acpi20);
  field("acpi", record.Acpi);
  field("smbios", record.Smbios);
  field("smbios3", record.Smbios3);
  return record;
}

}  // namespace

TFirmwareImage BuildFirmwareImage(const nlohmann::json& section) {
  const std::string path = "firmware";
  CheckObject(section, path);
  for (const auto& [key, value] : section.items()) {
    (void)value;
    if (key != "identity" && key != "acpi" && key != "smbios" && key != "systab" &&
        key != "comment")
      Fail(path + "." + key, "unknown member");
  }
  TFirmwareImage image;
  if (section.contains("identity")) BuildIdentity(section["identity"], path + ".identity", image);
  if (section.contains("acpi")) BuildAcpi(section["acpi"], path + ".acpi", image);
  if (section.contains("smbios")) BuildSmbios(section["smbios"], path + ".smbios", image);
  if (section.contains("systab")) image.Systab = BuildSystab(section["systab"], path + ".systab");

  // Generated pieces must not overlap each other (a raw image below them is fine).
  std::vector<const TFirmwareBlob*> sorted;
  for (const TFirmwareBlob& blob : image.Blobs) sorted.push_back(&blob);
  std::sort(sorted.begin(), sorted.end(),
            [](const TFirmwareBlob* a, const TFirmwareBlob* b) { return a->Address < b->Address; });
  for (std::size_t i = 1; i < sorted.size(); ++i)
    if (sorted[i - 1]->Address + sorted[i - 1]->Bytes.size() > sorted[i]->Address)
      Fail(sorted[i]->Name, "overlaps " + sorted[i - 1]->Name);
  return image;
}

void ParseFirmwareSection(TVirtualBoard& board, const nlohmann::json& section,
                          const std::filesystem::path& boardDir) {
  (void)boardDir;
  TFirmwareImage image = BuildFirmwareImage(section);
  // Firmware searches read the legacy BIOS area in 4 KiB requests, and a request that
  // touches unmapped memory fails as a whole; a real machine always decodes the area, so
  // generated content in it gets the whole area (zero-filled) unless an image covers it.
  constexpr std::uint64_t kLegacyBase = 0xE0000, kLegacySize = 0x20000;
  bool inLegacyArea = false;
  for (const TFirmwareBlob& blob : image.Blobs)
    inLegacyArea = inLegacyArea || (blob.Address < kLegacyBase + kLegacySize &&
                                    blob.Address + blob.Bytes.size() > kLegacyBase);
  if (inLegacyArea) {
    std::vector<std::uint8_t> probe(kLegacySize);
    if (!board.PeekMemory(kLegacyBase, probe.data(), kLegacySize)) {
      try {
        board.AddMemoryRegion(kLegacyBase, std::vector<std::uint8_t>(kLegacySize, 0));
      } catch (const std::runtime_error& e) {
        Fail("firmware", std::string("the legacy BIOS area 0xE0000-0xFFFFF is partly mapped: ") +
                             e.what());
      }
    }
  }
  for (TFirmwareBlob& blob : image.Blobs) {
    if (blob.Bytes.empty()) continue;
    std::vector<std::uint8_t> probe(blob.Bytes.size());
    auto length = static_cast<std::uint32_t>(blob.Bytes.size());
    // Over a raw image that covers the range: write into it. Elsewhere: a region of its own
    // (AddMemoryRegion refuses a partial overlap, naming the range).
    if (board.PeekMemory(blob.Address, probe.data(), length)) {
      board.PokeMemory(blob.Address, blob.Bytes.data(), length);
    } else {
      try {
        board.AddMemoryRegion(blob.Address, std::move(blob.Bytes));
      } catch (const std::runtime_error& e) {
        Fail(blob.Name, e.what());
      }
    }
  }
  host::SetFirmwareTableRecordStandIn(image.Systab.value_or(host::TFirmwareTableRecord{}));
  gavrelo::RegisterProcessReset(&host::ClearFirmwareTableRecordStandIn);
}
