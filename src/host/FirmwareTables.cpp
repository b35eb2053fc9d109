#include "host/FirmwareTables.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace host {
namespace {

constexpr const char* kSystabPath = "/sys/firmware/efi/systab";
// The file holds a handful of short lines; anything longer is not the kernel's record.
constexpr std::size_t kMaxSystabBytes = 4096;

std::optional<TFirmwareTableRecord>& StandIn() {
  static std::optional<TFirmwareTableRecord> standIn;
  return standIn;
}

std::optional<std::uint64_t> ParseAddress(std::string_view text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return std::nullopt;
  if (text.size() > 2 + 16) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text.substr(2)) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return std::nullopt;
    value = value << 4 | digit;
  }
  return value;
}

}  // namespace

TFirmwareTableRecord ParseFirmwareTableRecord(std::string_view text) {
  TFirmwareTableRecord record;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = line.substr(0, eq);
    std::optional<std::uint64_t> value = ParseAddress(line.substr(eq + 1));
    if (!value) continue;
    if (key == "ACPI20") record.Acpi20 = value;
    else if (key == "ACPI") record.Acpi = value;
    else if (key == "SMBIOS") record.Smbios = value;
    else if (key == "SMBIOS3") record.Smbios3 = value;
  }
  return record;
}

TFirmwareTableRecord ReadFirmwareTableRecord() {
  if (StandIn()) return *StandIn();
  // A process run against a virtual board (GAVRELO_BOARD) must not see the addresses of the
  // machine it happens to run on: a board file without firmware content has no record.
  if (const char* board = std::getenv("GAVRELO_BOARD"); board != nullptr && *board != 0) return {};
  std::ifstream file(kSystabPath, std::ios::binary);
  if (!file) return {};
  std::string text(kMaxSystabBytes, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(file.gcount()));
  return ParseFirmwareTableRecord(text);
}

void SetFirmwareTableRecordStandIn(const TFirmwareTableRecord& record) { StandIn() = record; }

void ClearFirmwareTableRecordStandIn() { StandIn().reset(); }

}  // namespace host
