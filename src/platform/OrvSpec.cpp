#include "platform/OrvSpec.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "hwaccess/OsVersion.h"
#include "hwaccess/ReadWrite.h"
#include "platform/AcpiBase.h"
#include "platform/OrvBiosInfo.h"
#include "platform/SmbiosBase.h"

namespace {

TOrvSpec* g_instance = nullptr;
constexpr std::uint32_t kNotFound = 0xFFFFFFFF;
// Windows Vista and later; the FADT exception below applies from this class on.
constexpr std::uint32_t kOsClassVista = 64;

}  // namespace

TOrvSpec& TOrvSpec::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TOrvSpec();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TOrvSpec::ResetInstance);
  }
  return *g_instance;
}

void TOrvSpec::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TOrvSpec::~TOrvSpec() = default;

// The order matters: each step may construct the singleton it names and run its work.
TOrvSpec::TOrvSpec()
    : m_ReadWrite(TReadWrite::Instance()), m_Smbios(TSmbiosBase::Instance()) {
  ModelName = TOrvBiosInfo::Instance().ProjectName;
  m_SignatureFound = TOrvBiosInfo::SignaturePresent(m_ReadWrite);
  SafeModelName = MakeSafeModelName(ModelName);
  m_Acpi = &TAcpiBase::Instance();
  m_ReadWrite.PcieBase = m_Acpi->McfgBase;
  PStateSupported = CheckPStateSupport();
  TDebugConsole::Instance().LogValue(L"Model Name", ModelName, 14);
}

std::wstring TOrvSpec::MakeSafeModelName(const std::wstring& modelName) {
  if (modelName == L"0") return {};
  std::wstring safe = modelName;
  for (wchar_t& c : safe)
    if (std::wstring_view(L" \\/:*?\"<>|").find(c) != std::wstring_view::npos) c = L'_';
  return safe;
}

bool TOrvSpec::CheckPStateSupport() {
  bool pstate = false;
  bool fadt = false;
  // Lengths come from firmware headers: one search reaches no further than the walk would
  // read a table, and all searches together scan no more than the walk may read.
  std::uint64_t budget = TAcpiBase::kMaxBytesRead;
  bool budgetReported = false;
  auto found = [&](std::uint64_t address, std::uint32_t length, const char* pattern) {
    std::uint32_t size = std::min(length, TAcpiBase::kMaxTableLength);
    if (size > budget) {
      if (!budgetReported)
        TDebugConsole::Instance().LogValue("TOrvSpec", "P-state search limit reached", 12);
      budgetReported = true;
      return std::uint64_t{kNotFound};
    }
    budget -= size;
    std::uint64_t match = m_ReadWrite.SearchMem(address, size, 1, pattern,
                                                static_cast<std::uint32_t>(std::strlen(pattern)), 0);
    return (match & 0xFFFFFFFF) != kNotFound ? match : std::uint64_t{kNotFound};
  };

  const std::vector<TAcpiTableEntry>& tables = m_Acpi->Tables;
  for (std::size_t i = 1; i < tables.size(); ++i) {
    const TAcpiTableEntry entry = tables[i];
    if (entry.Address == 0) continue;  // no table (see the ACPI walk)
    // A table the walk refused (unreadable, or longer than the walk would read) is not
    // scanned either: its length is no bound on anything.
    if (entry.Refused) continue;
    std::array<std::uint8_t, 36> header;
    header.fill(0xFF);
    m_ReadWrite.ReadMemBlock(header.data(), static_cast<std::uint32_t>(header.size()),
                             entry.Address);
    if (std::memcmp(header.data(), "SSDT", 4) == 0) {
      if (found(entry.Address, entry.Length, "_PSS") != kNotFound ||
          found(entry.Address, entry.Length, "CpuPm") != kNotFound)
        pstate = true;
    } else if (std::memcmp(header.data(), "FACP", 4) == 0) {
      // AMI's generic FADT on Vista and later: the firmware's P-state objects are not
      // trusted there.
      std::uint32_t oemRevision = static_cast<std::uint32_t>(header[24]) | header[25] << 8 |
                                  header[26] << 16 | static_cast<std::uint32_t>(header[27]) << 24;
      bool amiGeneric = TOsVersion::Instance().Flags(0xFFFF) >= kOsClassVista &&
                        std::memcmp(header.data() + 10, "A M I OEMFACP ", 14) == 0 &&
                        oemRevision == 0x12000601;
      if (!amiGeneric) fadt = true;
    } else if (std::memcmp(header.data(), "DSDT", 4) == 0) {
      if (found(entry.Address, entry.Length, "_PSS") != kNotFound ||
          found(entry.Address, entry.Length, "_PCT") != kNotFound) {
        pstate = true;
      } else {
        std::uint64_t ssdt = found(entry.Address, entry.Length, "SSDT");
        if (ssdt != kNotFound) {
          std::uint32_t target = m_ReadWrite.ReadMemDword(ssdt + 6);
          if (target != 0 && found(target, entry.Length, "_PSS") != kNotFound) pstate = true;
        }
      }
    }
  }
  return pstate && fadt;
}
