// The root table copy in the registry, the second way to the ACPI root pointer when the
// legacy BIOS area has none: the three-level walk, its failures, and the search around the
// copy's first entry. A recording registry stands in for the system's; under Wine the
// same walk runs against the system registry itself.

#include <map>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "PlatformTestSupport.h"
#include "host/Registry.h"
#include "hwaccess/ReadWrite.h"
#include "platform/AcpiBase.h"

namespace {

using nlohmann::json;
using TBytes = std::vector<std::uint8_t>;

constexpr char kRoot[] = "Hardware\\ACPI\\RSDT";

// HKEY_LOCAL_MACHINE as a map of key paths, recording what the walk asks of it.
class TRecordingRegistry : public host::TRegistry {
 public:
  struct TNode {
    std::vector<std::string> Subkeys;
    std::vector<std::pair<std::string, TBytes>> Values;
  };
  std::map<std::string, TNode> Keys;
  std::vector<std::string> Opened;        // paths, in order
  std::set<std::size_t> OpenHandles;
  std::set<std::size_t> BufferSizes;      // every name buffer and data limit asked for

  // The root table copy at Hardware\ACPI\RSDT\<a>\<b>\<c>, value `value`.
  void AddCopy(const TBytes& data, const std::string& a = "GAVREL", const std::string& b = "GAVRELO ",
               const std::string& c = "00000001", const std::string& value = "00000000") {
    std::string path = kRoot;
    for (const std::string& name : {a, b, c}) {
      Keys[path].Subkeys.push_back(name);
      path += "\\" + name;
    }
    Keys[path].Values.push_back({value, data});
  }

  TKey OpenKey(const std::string& path) override {
    Opened.push_back(path);
    auto found = Keys.find(path);
    if (found == Keys.end()) return nullptr;
    m_Paths.push_back(path);
    OpenHandles.insert(m_Paths.size());
    return reinterpret_cast<TKey>(m_Paths.size());
  }
  std::optional<std::string> SubkeyName(TKey key, std::uint32_t index, std::size_t bytes) override {
    BufferSizes.insert(bytes);
    const auto& names = Node(key).Subkeys;
    if (index >= names.size()) return std::nullopt;
    return names[index];
  }
  std::optional<std::string> ValueName(TKey key, std::uint32_t index, std::size_t bytes) override {
    BufferSizes.insert(bytes);
    const auto& values = Node(key).Values;
    if (index >= values.size()) return std::nullopt;
    return values[index].first;
  }
  std::optional<TBytes> ValueData(TKey key, const std::string& name, std::size_t maxBytes) override {
    BufferSizes.insert(maxBytes);
    for (const auto& [valueName, data] : Node(key).Values)
      if (valueName == name && data.size() <= maxBytes) return data;
    return std::nullopt;
  }
  void CloseKey(TKey key) override {
    EXPECT_EQ(OpenHandles.erase(reinterpret_cast<std::size_t>(key)), 1u) << "closed twice";
  }

 private:
  TNode& Node(TKey key) {
    const auto handle = reinterpret_cast<std::size_t>(key);
    EXPECT_TRUE(OpenHandles.count(handle)) << "used after close";
    return Keys[m_Paths.at(handle - 1)];
  }
  std::vector<std::string> m_Paths;
};

// UEFI-like firmware: the root pointer outside the legacy BIOS area and no kernel record,
// so only the registry leads to it. RAM around the tables, as the searches read whole
// pages.
json HighTablesBoard(std::uint32_t rsdp, std::uint32_t tables) {
  return {{"memory", {{{"base", rsdp & ~0xFFFFu}, {"size", 0x30000}}}},
          {"firmware",
           {{"acpi",
             {{"rsdp_address", rsdp}, {"tables_address", tables},
              {"fadt", {{"sci_int", 11}}}, {"mcfg", {{"allocations", {{{"base", "0xC0000000"}}}}}}}},
            {"systab", json::object()}}}};
}

class AcpiRegistryTest : public PlatformTest {
 protected:
  // The board's RSDT as Windows copies it into the registry.
  static TBytes RootTable(TVirtualBoard& board, std::uint32_t rsdp) {
    const std::uint32_t rsdt = PeekDword(board, rsdp + 16);
    TBytes table(PeekDword(board, rsdt + 4));
    board.PeekMemory(rsdt, table.data(), static_cast<std::uint32_t>(table.size()));
    return table;
  }
  TRecordingRegistry m_Registry;
};

TEST_F(AcpiRegistryTest, WalksThreeFirstSubkeysAndFindsTheRootPointerNearTheCopy) {
  for (const char* signature : {"RSDT", "XSDT"}) {
    gavrelo::ResetProcessStateForTests();
    m_Registry = {};
    TVirtualBoard& board = Install(HighTablesBoard(0x7FF08000, 0x7FF10000));
    TBytes copy = RootTable(board, 0x7FF08000);
    std::copy_n(signature, 4, copy.begin());
    m_Registry.AddCopy(copy);
    // Only the first subkey of a level is followed.
    m_Registry.Keys[kRoot].Subkeys.push_back("ZZZZZZ");
    host::SetRegistryStandIn(m_Registry);

    TAcpiBase& acpi = TAcpiBase::Instance();
    ASSERT_TRUE(acpi.Found) << signature;
    EXPECT_EQ(acpi.Tables[0].Address, 0x7FF08000u);
    EXPECT_EQ(SignatureAt(board, acpi.Tables[1].Address), "RSDT");
    EXPECT_EQ(acpi.McfgBase, 0xC0000000u);  // the walk ran from there
    EXPECT_EQ(TReadWrite::Instance().Settings().SciInterrupt, 11u);
    EXPECT_EQ(m_Registry.Opened,
              (std::vector<std::string>{kRoot, std::string(kRoot) + "\\GAVREL",
                                        std::string(kRoot) + "\\GAVREL\\GAVRELO ",
                                        std::string(kRoot) + "\\GAVREL\\GAVRELO \\00000001"}));
    EXPECT_TRUE(m_Registry.OpenHandles.empty()) << "every key closed";
    EXPECT_EQ(m_Registry.BufferSizes, (std::set<std::size_t>{2048}));
  }
}

TEST_F(AcpiRegistryTest, AnyFailingStepOrForeignDataFindsNothingAndClosesEveryKey) {
  const TBytes rsdt = [] {
    TBytes t(40, 0);
    std::copy_n("RSDT", 4, t.begin());
    return t;
  }();
  struct TCase {
    const char* What;
    void (*Break)(TRecordingRegistry&);
  };
  const TCase cases[] = {
      {"no RSDT key", [](TRecordingRegistry& r) { r.Keys.clear(); }},
      {"a level without subkeys",
       [](TRecordingRegistry& r) { r.Keys[std::string(kRoot) + "\\GAVREL"].Subkeys.clear(); }},
      {"a subkey that does not open",
       [](TRecordingRegistry& r) { r.Keys.erase(std::string(kRoot) + "\\GAVREL\\GAVRELO "); }},
      {"deepest key without a value",
       [](TRecordingRegistry& r) { r.Keys[std::string(kRoot) + "\\GAVREL\\GAVRELO \\00000001"].Values.clear(); }},
      {"value larger than the buffer",
       [](TRecordingRegistry& r) {
         r.Keys[std::string(kRoot) + "\\GAVREL\\GAVRELO \\00000001"].Values[0].second.resize(2049);
       }},
      {"other signature",
       [](TRecordingRegistry& r) {
         std::copy_n("SSDT", 4, r.Keys[std::string(kRoot) + "\\GAVREL\\GAVRELO \\00000001"].Values[0].second.begin());
       }},
      {"copy shorter than a signature",
       [](TRecordingRegistry& r) {
         r.Keys[std::string(kRoot) + "\\GAVREL\\GAVRELO \\00000001"].Values[0].second.resize(3);
       }},
  };
  for (const TCase& c : cases) {
    gavrelo::ResetProcessStateForTests();
    m_Registry = {};
    Install(HighTablesBoard(0x7FF08000, 0x7FF10000));
    m_Registry.AddCopy(rsdt);
    c.Break(m_Registry);
    host::SetRegistryStandIn(m_Registry);
    TAcpiBase& acpi = TAcpiBase::Instance();
    EXPECT_FALSE(acpi.Found) << c.What;
    EXPECT_TRUE(acpi.Tables.empty()) << c.What;
    EXPECT_TRUE(m_Registry.OpenHandles.empty()) << c.What;
  }
}

TEST_F(AcpiRegistryTest, ACopyWithoutARootPointerNearItIsListedByItsSizeAlone) {
  struct TCase {
    const char* What;
    std::uint32_t FirstEntry;  // 0: a copy of the header alone
  };
  for (const TCase& c : {TCase{"nothing around the first entry", 0x40000000},
                         TCase{"no entry to search from", 0}}) {
    gavrelo::ResetProcessStateForTests();
    m_Registry = {};
    Install(HighTablesBoard(0x7FF08000, 0x7FF10000));
    TBytes copy(c.FirstEntry ? 44 : 36, 0);
    std::copy_n("RSDT", 4, copy.begin());
    if (c.FirstEntry) std::memcpy(copy.data() + 36, &c.FirstEntry, 4);
    m_Registry.AddCopy(copy);
    host::SetRegistryStandIn(m_Registry);
    TAcpiBase& acpi = TAcpiBase::Instance();
    EXPECT_TRUE(acpi.Found) << c.What;
    ASSERT_EQ(acpi.Tables.size(), 1u) << c.What;
    EXPECT_EQ(acpi.Tables[0].Address, 0u);
    EXPECT_EQ(acpi.Tables[0].Length, copy.size());
    EXPECT_EQ(acpi.McfgBase, 0xFFFFFFFFu);
    EXPECT_TRUE(acpi.FromFirmware.empty()) << c.What;
  }
}

TEST_F(AcpiRegistryTest, AFirstEntryBelow64KiBSearchesFromZero) {
  // Tables in low memory: 64 KiB below the first entry would wrap to the top of the 4 GiB
  // space, far from the root pointer at 0x8000.
  TVirtualBoard& board = Install(HighTablesBoard(0x8000, 0x9000));
  m_Registry.AddCopy(RootTable(board, 0x8000));
  host::SetRegistryStandIn(m_Registry);
  TAcpiBase& acpi = TAcpiBase::Instance();
  ASSERT_TRUE(acpi.Found);
  EXPECT_EQ(acpi.Tables[0].Address, 0x8000u);
  EXPECT_EQ(acpi.McfgBase, 0xC0000000u);
}

TEST_F(AcpiRegistryTest, AVirtualBoardSeesNoRegistryOfTheMachine) {
  Install(HighTablesBoard(0x7FF08000, 0x7FF10000));
  EXPECT_EQ(&host::MachineRegistry(), &host::NoRegistry());
  gavrelo::ResetProcessStateForTests();
  EXPECT_EQ(&host::MachineRegistry(), &host::SystemRegistry());
}

#ifdef _WIN32
// The system registry itself (Wine's, in the test prefix): the copy is written where
// Windows keeps it and removed afterwards. One test only, so no two cases of the suite
// write the keys at the same time.
TEST_F(AcpiRegistryTest, TheSystemRegistryUnderWine) {
  HKEY existing = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Hardware\\ACPI", 0, KEY_READ, &existing) == ERROR_SUCCESS) {
    ::RegCloseKey(existing);
    GTEST_SKIP() << "this machine has its own Hardware\\ACPI keys; they are not overwritten";
  }
  struct TRemove {
    ~TRemove() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Hardware\\ACPI"); }
  } remove;
  const std::string deepest = std::string(kRoot) + "\\GAVREL\\GAVRELO \\00000001";
  auto write = [&](const TBytes& data) {
    HKEY key = nullptr;
    // HARDWARE is volatile: its subkeys must be too.
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, deepest.c_str(), 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key, "00000000", 0, REG_BINARY, data.data(),
                               static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  };
  auto run = [&]() -> TAcpiBase& {
    gavrelo::ResetProcessStateForTests();
    Install(HighTablesBoard(0x7FF08000, 0x7FF10000));
    host::SetRegistryStandIn(host::SystemRegistry());
    return TAcpiBase::Instance();
  };

  // Missing keys.
  EXPECT_FALSE(run().Found);

  // The copy as Windows keeps it: the bytes come back as written, and lead to the tables.
  TBytes copy;
  {
    gavrelo::ResetProcessStateForTests();
    TVirtualBoard& board = Install(HighTablesBoard(0x7FF08000, 0x7FF10000));
    copy = RootTable(board, 0x7FF08000);
  }
  write(copy);
  host::TRegistry& registry = host::SystemRegistry();
  host::TRegistry::TKey key = registry.OpenKey(deepest);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(registry.ValueName(key, 0, 2048), "00000000");
  EXPECT_EQ(registry.ValueData(key, "00000000", 2048), copy);
  EXPECT_EQ(registry.ValueData(key, "00000000", copy.size() - 1), std::nullopt);
  EXPECT_EQ(registry.ValueName(key, 1, 2048), std::nullopt);
  registry.CloseKey(key);
  {
    TAcpiBase& acpi = run();
    ASSERT_TRUE(acpi.Found);
    EXPECT_EQ(acpi.Tables[0].Address, 0x7FF08000u);
    EXPECT_EQ(acpi.McfgBase, 0xC0000000u);
  }

  // Another table's copy, and a value beyond the buffer: nothing found.
  TBytes foreign = copy;
  std::copy_n("FACP", 4, foreign.begin());
  write(foreign);
  EXPECT_FALSE(run().Found);
  TBytes large = copy;
  large.resize(4096);
  write(large);
  EXPECT_FALSE(run().Found);
  gavrelo::ResetProcessStateForTests();
}
#endif

}  // namespace
