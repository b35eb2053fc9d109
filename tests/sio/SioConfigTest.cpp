// The chip table against the chip documentation: row set and order, every row's names,
// vendor, IDs and named logical devices, and whole rows of each probe form as stored.

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "diag/ProcessState.h"
#include "host/Console.h"
#include "sio/SioConfig.h"

namespace {

std::string N(const std::wstring& text) { return host::WideToUtf8(text); }

const TSioCfg& Row(const char* name) {
  return TSioConfig::Instance().Entries().at(host::Utf8ToWide(name));
}

// Every row as the documentation lists it: name, short name, vendor, form, accepted IDs,
// logical devices that carry a name.
struct TExpectedRow {
  const char* FullName;
  const char* ShortName;
  const char* Vendor;
  const char* Form;
  std::vector<const char*> Ids;
  const char* Devices;  // "0-3 5-B" style
  unsigned DeviceCount;
};

const std::vector<TExpectedRow>& ExpectedRows() {
  static const std::vector<TExpectedRow> rows = {
      {"FinTek F71805F/FG", "F71805F", "FinTek", "F", {"0x34190604"}, "0 1 2 3 4 6 A", 7},
      {"FinTek F71862", "F71862", "FinTek", "F", {"0x34190106"}, "0-8 A", 10},
      {"FinTek F71872", "F71872", "FinTek", "F", {"0x34194103"}, "0-7 A", 9},
      {"FinTek F71882/F71883", "F71882", "FinTek", "F", {"0x34194105"}, "0-8 A", 10},
      {"IT8502E", "IT8502E", "ITE", "I2", {"0x0285"}, "4 5 6 F 10 11 12", 7},
      {"IT8510E", "IT8510E", "ITE", "E", {"0x1085"}, "4 5 6 F 10 11 12", 7},
      {"IT8511E", "IT8511E", "ITE", "E", {"0x1185"}, "4 5 6 F 10 11 12", 7},
      {"IT8512E", "IT8512E", "ITE", "E", {"0x1285"}, "4 5 6 F 10 11 12", 7},
      {"IT8700F", "IT8700F", "ITE", "I", {"0x0087"}, "0-8", 9},
      {"IT8702F", "IT8702F", "ITE", "I", {"0x0287"}, "0-A", 11},
      {"IT8705F", "IT8705F", "ITE", "I", {"0x0587"}, "0-8", 9},
      {"IT8710F", "IT8710F", "ITE", "I", {"0x1087"}, "0-4 7-A", 9},
      {"IT8711F", "IT8711F", "ITE", "I", {"0x1187"}, "0-A", 11},
      {"IT8712F", "IT8712F", "ITE", "I", {"0x1287"}, "0-A", 11},
      {"IT8716F", "IT8716F", "ITE", "I", {"0x1687"}, "0-A", 11},
      {"IT8718F", "IT8718F", "ITE", "I", {"0x1887"}, "0-7 A", 9},
      {"IT8720F", "IT8720F", "ITE", "I2", {"0x2087"}, "0-7 A", 9},
      {"IT8726F", "IT8726F", "ITE", "I", {"0x2687"}, "0-A", 11},
      {"IT8761E", "IT8761F", "ITE", "I", {"0x6187"}, "0-4", 5},
      {"NCT5573D", "N5573", "", "W", {"0x31C3"}, "2 3 5-B E F 16 17", 13},
      {"NCT5577D", "N5577", "", "W", {"0x31C3"}, "2 3 5-B E F 16 17", 13},
      {"NCT6102D", "N6102", "Nuvoton", "W", {"0x52C4"}, "0-3 5-B D-16", 21},
      {"NCT6106D", "N6106", "Nuvoton", "W", {"0x53C4"}, "0-3 5-B D-16", 21},
      {"NCT6683D", "N6683", "Nuvoton", "W", {"0x32C7"}, "1 2 3 5-B D E", 12},
      {"NCT6775F/NCT6771F", "W667HG", "Nuvoton", "WM", {"0x70B4"}, "0-3 5-F", 15},
      {"NCT6776F", "N6776", "Nuvoton", "WM", {"0x30C3"}, "0-3 5-B D E F 14 16 17", 17},
      {"NCT6791D", "N6791", "Nuvoton", "W", {"0x03c8"}, "2 3 5-C E F 14 16", 14},
      {"SMSC LPC47B272", "S47B272", "SMSC", "S", {"0x51"}, "0 3 4 5 7 9 A B", 8},
      {"SMSC LPC47M10x/LPC47M112", "S47M10x", "SMSC", "S", {"0x59"}, "0 3 4 5 7 9 A B", 8},
      {"SMSC LPC47M14x", "S47M14x", "SMSC", "S", {"0x5F"}, "0 3 4 5 7 9 A B", 8},
      {"SMSC LPC47M15x/LPC47M192", "S47M15x", "SMSC", "S", {"0x60"}, "0 3 4 5 7 9 A B", 8},
      {"SMSC LPC47M172", "S47M172", "SMSC", "S", {"0x14"}, "0-7 A", 9},
      {"SMSC LPC47M182", "S47M182", "SMSC", "S", {"0x74"}, "0-7 A", 9},
      {"SMSC LPC47S42x", "S47S42x", "SMSC", "S", {"0x57"}, "0 3 4 5 7 8 A B", 8},
      {"SMSC SCH5017", "SCH5017", "SMSC", "S", {"0x78"}, "0 3 4 5 7 A", 6},
      {"W83627DHG", "W627DHG", "Winbond", "WM", {"0x20A0", "0x70B0"}, "0-3 5-C", 12},
      {"W83627EHF/EHG", "W627EHF", "Winbond", "W8", {"0x88"}, "0-3 5 7-B", 10},
      {"W83627HF/F", "W627HF", "Winbond", "W", {"0x1752", "0x3a52", "0x4152"}, "0-3 5-B", 11},
      {"W83627SF", "W627SF", "Winbond", "WM", {"0x5059"}, "0-3 5-C", 12},
      {"W83627THF", "W627THF", "Winbond", "WM", {"0x8082"}, "0-3 5 7-B", 10},
      {"W83627UHG", "W627UHG", "Winbond", "WM", {"0x30A2"}, "0-3 5-F", 15},
      {"W83637HF", "W637HF", "Winbond", "WM", {"0x8070"}, "0-3 5-D", 13},
      {"W83667HG", "W667HG", "Winbond", "WM", {"0x10A5"}, "0-3 5-F", 15},
      {"W83667HG-A", "W667HG", "Winbond", "WM", {"0x50B3"}, "0-3 5-D F", 14},
      {"W83697HF/HG", "W697HF", "Winbond", "WM", {"0x1060"}, "0-3 6-B", 10},
      {"W83697SF", "W697SF", "Winbond", "WM", {"0x0068"}, "0-3 7-F", 13},
      {"W83697UF/UG", "W697UF", "Winbond", "WM", {"0x1068"}, "0-3 7-F", 13},
      {"W83977ATF", "W977ATF", "Winbond", "WM", {"0x7097"}, "0-3 5-A", 10},
      {"W83977EF", "W977EF", "Winbond", "WM", {"0xf052"}, "0-3 5 7 8 A", 8},
      {"W83L517D", "WL517D", "Winbond", "WM", {"0x0061"}, "0 1 2 6 A", 5},
      {"W83L517G", "WL517G", "Winbond", "WM", {"0x0061"}, "0 1 2 6-A", 8},
      {"W83L518D", "WL518D", "Winbond", "WM", {"0x1071"}, "0-3", 4},
      {"W83L519D", "WL519D", "Winbond", "WM", {"0x2071"}, "0-3", 4},
  };
  return rows;
}

std::set<unsigned> DeviceSet(const std::string& list) {
  std::set<unsigned> result;
  std::istringstream in(list);
  std::string part;
  while (in >> part) {
    const auto dash = part.find('-');
    const unsigned first = std::stoul(part.substr(0, dash), nullptr, 16);
    const unsigned last =
        dash == std::string::npos ? first : std::stoul(part.substr(dash + 1), nullptr, 16);
    for (unsigned ldn = first; ldn <= last; ++ldn) result.insert(ldn);
  }
  return result;
}

// The probe's text at port 0x2E for a form, as the documentation shows it, with the tests.
std::string Probe2E(const std::string& form, const std::vector<const char*>& ids) {
  std::string head;
  if (form == "W")
    head = "LocalA=0x2e; LocalB=0x2f; o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
           "Local0=IID16(LocalA,LocalB,0x20); ";
  else if (form == "WM")
    head = "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
           "Local0=IID16(LocalA,LocalB,0x20); Local0=and(Local0,0xf0ff); ";
  else if (form == "W8")
    head = "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
           "Local0=IID(LocalA,LocalB,0x20); ";
  else if (form == "I")
    head = "LocalA=0x2e; LocalB=0x2f;o(LocalA,0x02); o(LocalB,0x02); o LocalA 0x87; "
           "o LocalA 0x01; o LocalA 0x55; o LocalA 0x55; Local0=IID16(LocalA,LocalB,0x20); ";
  else if (form == "I2")
    head = "LocalA=0x2e; LocalB=0x2f; o(LocalA,0x02); o(LocalB,0x02); o(LocalA,0x87); "
           "o(LocalA,0x01); o(LocalA,0x55); o(LocalA,0x55); Local0=IID16(LocalA,LocalB,0x20); ";
  else if (form == "E")
    head = "LocalA=0x2e; LocalB=0x2f; Local0=IID16(LocalA,LocalB,0x20); ";
  else if (form == "S")
    head = "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o(LocalA,0x55); "
           "Local0=IID(LocalA,LocalB,0x20); ";
  else if (form == "F")
    head = "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o LocalA 0x87; o LocalA 0x87; "
           "Local0=IID32(LocalA,LocalB,0x20); ";
  for (std::size_t i = 0; i + 1 < ids.size(); ++i)
    head += std::string("bkif0(sub(Local0,") + ids[i] + ")); ";
  return head + "sub(Local0," + ids.back() + ")";
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The port 0x4E probe: other ports and, for ITE and SMSC, one other key byte.
std::string Probe4E(const std::string& form, const std::string& probe2E) {
  std::string text = Replace(probe2E, "LocalA=0x2e; LocalB=0x2f", "LocalA=0x4e; LocalB=0x4f");
  if (form == "I") text = Replace(text, "o LocalA 0x55; o LocalA 0x55", "o LocalA 0x55; o LocalA 0xaa");
  if (form == "I2") text = Replace(text, "o(LocalA,0x55); o(LocalA,0x55)", "o(LocalA,0x55); o(LocalA,0xAA)");
  if (form == "S") text = Replace(text, "o(LocalA,0x55)", "o(LocalA,0x87)");
  return text;
}

const char* kIteEnter =
    "CMDS{o LocalA 0x87; o LocalA 0x01; o LocalA 0x55; bkif0(sub(LocalA,0x4e)); o LocalA 0x55}; "
    "bkif0(sub(LocalA,0x2e)); o LocalA 0xaa";
const char* kHwmIndex =
    "OID(LocalA,LocalB,7,11); Local0=IID(LocalA,LocalB,0x60); Local1=IID(LocalA,LocalB,0x61); "
    "Local0=Mul(Local0,0x100); Local0=Add(Local0,Local1); Local0=Add(Local0,5)";

class SioConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }
};

TEST_F(SioConfigTest, RowsAndKeyOrder) {
  const auto& entries = TSioConfig::Instance().Entries();
  ASSERT_EQ(entries.size(), 53u);
  std::vector<std::string> keys;
  for (const auto& [key, row] : entries) {
    EXPECT_EQ(key, row.FullName);
    keys.push_back(N(key));
  }
  std::vector<std::string> expected;
  for (const TExpectedRow& row : ExpectedRows()) expected.push_back(row.FullName);
  EXPECT_EQ(keys, expected);  // the documented listing is in key order
  EXPECT_EQ(keys.front(), "FinTek F71805F/FG");
  auto pos = [&](const char* name) { return std::find(keys.begin(), keys.end(), name) - keys.begin(); };
  EXPECT_LT(pos("W83977EF"), pos("W83L517D"));
  EXPECT_LT(pos("W83667HG"), pos("W83667HG-A"));
  EXPECT_LT(pos("IT8761E"), pos("NCT5573D"));
  EXPECT_LT(pos("NCT6791D"), pos("SMSC LPC47B272"));
  EXPECT_LT(pos("SMSC SCH5017"), pos("W83627DHG"));
}

TEST_F(SioConfigTest, EveryRowMatchesItsListing) {
  unsigned familyTags = 0, hwmRows = 0;
  for (const TExpectedRow& expected : ExpectedRows()) {
    SCOPED_TRACE(expected.FullName);
    const TSioCfg& row = Row(expected.FullName);
    EXPECT_EQ(N(row.ShortName), expected.ShortName);
    EXPECT_EQ(N(row.Vendor), expected.Vendor);
    const std::string form = expected.Form;
    const std::string probe = Probe2E(form, expected.Ids);
    EXPECT_EQ(N(row.DetectScripts[0]), probe);
    EXPECT_EQ(N(row.DetectScripts[1]), Probe4E(form, probe));
    EXPECT_TRUE(row.DetectScripts[2].empty());
    EXPECT_EQ(N(row.PortTemplateA), "LocalA=");
    EXPECT_EQ(N(row.PortTemplateB), "LocalB=");

    // Unlock and lock by vendor group.
    const std::string vendor = expected.Vendor;
    if (vendor == "Winbond" || vendor == "Nuvoton" || vendor.empty()) {
      EXPECT_EQ(N(row.EnterScript), "o LocalA 0x87; o LocalA 0x87");
      EXPECT_EQ(N(row.ExitScript), "o LocalA 0xaa");
    } else if (vendor == "FinTek") {
      EXPECT_EQ(N(row.EnterScript), "o LocalA 0x87; o LocalA 0x87");
      EXPECT_EQ(N(row.ExitScript), "o LocalA 0xAA");
    } else if (vendor == "SMSC") {
      EXPECT_EQ(N(row.EnterScript), "o LocalA 0x55");
      EXPECT_EQ(N(row.ExitScript), "o LocalA 0xaa");
    } else if (form == "I") {
      EXPECT_EQ(N(row.EnterScript), kIteEnter);
      EXPECT_EQ(N(row.ExitScript), "o LocalA 0x02; o LocalB 0x02");
    } else if (form == "I2") {
      EXPECT_EQ(N(row.EnterScript), kIteEnter);
      EXPECT_EQ(N(row.ExitScript), "o(LocalA,0x02); o(LocalB,0x02)");
    } else {
      EXPECT_TRUE(row.EnterScript.empty());
      EXPECT_TRUE(row.ExitScript.empty());
    }

    // ChipId: the row's value (for the two multi-value rows, the documented one).
    const std::string name = expected.FullName;
    const std::string id = name == "W83627HF/F" ? "0x1752" : expected.Ids.back();
    EXPECT_EQ(row.ChipId, std::stoul(id, nullptr, 16));

    // Named logical devices.
    std::set<unsigned> named;
    for (unsigned ldn = 0; ldn < row.DeviceNames.size(); ++ldn)
      if (!row.DeviceNames[ldn].empty()) named.insert(ldn);
    EXPECT_EQ(named, DeviceSet(expected.Devices));
    EXPECT_EQ(named.size(), expected.DeviceCount);

    const bool nct = name.rfind("NCT", 0) == 0;
    if (!row.FamilyTag.empty()) ++familyTags;
    if (nct && name != "NCT6775F/NCT6771F") {
      EXPECT_EQ(row.FamilyTag, row.ShortName);
    }
    if (nct) {
      ++hwmRows;
      EXPECT_EQ(N(row.HwmIndexScript), kHwmIndex);
      EXPECT_EQ(N(row.HwmDataScript), "Add(Local0,1)");
    } else {
      EXPECT_TRUE(row.HwmIndexScript.empty());
      EXPECT_TRUE(row.HwmDataScript.empty());
    }
  }
  EXPECT_EQ(familyTags, 13u);
  EXPECT_EQ(hwmRows, 8u);
  EXPECT_EQ(N(Row("W83627DHG").FamilyTag), "W627");
  EXPECT_EQ(N(Row("W83627EHF/EHG").FamilyTag), "W627");
  EXPECT_EQ(N(Row("W83667HG").FamilyTag), "W667");
  EXPECT_EQ(N(Row("W83667HG-A").FamilyTag), "W667");
  EXPECT_EQ(N(Row("NCT6775F/NCT6771F").FamilyTag), "W667");
  EXPECT_EQ(N(Row("IT8720F").FamilyTag), "IT8720");
}

// Whole rows as the documentation writes them out, one per vendor, texts quoted as stored.
TEST_F(SioConfigTest, DocumentedRowsInFull) {
  const TSioCfg& uhg = Row("W83627UHG");
  EXPECT_EQ(N(uhg.DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
            "Local0=IID16(LocalA,LocalB,0x20); Local0=and(Local0,0xf0ff); sub(Local0,0x30A2)");
  EXPECT_EQ(N(uhg.DetectScripts[1]),
            "LocalA=0x4e; LocalB=0x4f;o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
            "Local0=IID16(LocalA,LocalB,0x20); Local0=and(Local0,0xf0ff); sub(Local0,0x30A2)");
  EXPECT_EQ(uhg.ChipId, 0x30A2u);
  EXPECT_TRUE(uhg.FamilyTag.empty());
  const std::vector<std::pair<unsigned, std::string>> uhgDevices = {
      {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
      {0x05, "Keyboard Controller"}, {0x06, "UART C"}, {0x07, "GPIO Port 3, 4"},
      {0x08, "WDTO, PLED, GPIO5, 6 & GPIO Base Address"}, {0x09, "GPIO Port 1, 2 & SUSLED"},
      {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"}, {0x0C, "PECI, SST"}, {0x0D, "UART D"},
      {0x0E, "UART E"}, {0x0F, "UART F"}};
  for (const auto& [ldn, name] : uhgDevices) EXPECT_EQ(N(uhg.DeviceNames[ldn]), name) << ldn;

  const TSioCfg& n6776 = Row("NCT6776F");
  EXPECT_EQ(N(n6776.DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
            "Local0=IID16(LocalA,LocalB,0x20); Local0=and(Local0,0xf0ff); sub(Local0,0x30C3)");
  const std::vector<std::pair<unsigned, std::string>> n6776Devices = {
      {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B, IR"},
      {0x05, "KBC"}, {0x06, "CIR"}, {0x07, "GPIO6, GPIO7, GPIO8, GPIO9"},
      {0x08, "WDT1, GPIO0, GPIOA"}, {0x09, "GPIO1, GPIO2, GPIO3, GPIO4, GPIO5, GPIO6, GPIO7"},
      {0x0A, "ACPI"}, {0x0B, "Hardware Monitor, SB-TSI, Front Panel LED, Deep S5"},
      {0x0D, "VID, VIDDAC, BUSSEL"}, {0x0E, "CIRWAKEUP"}, {0x0F, "GPIO Push-Pull/OD Select"},
      {0x14, "SVID"}, {0x16, "Deep Sleep"}, {0x17, "GPIOA"}};
  for (const auto& [ldn, name] : n6776Devices) EXPECT_EQ(N(n6776.DeviceNames[ldn]), name) << ldn;

  const TSioCfg& ite = Row("IT8712F");
  EXPECT_EQ(N(ite.DetectScripts[1]),
            "LocalA=0x4e; LocalB=0x4f;o(LocalA,0x02); o(LocalB,0x02); o LocalA 0x87; "
            "o LocalA 0x01; o LocalA 0x55; o LocalA 0xaa; Local0=IID16(LocalA,LocalB,0x20); "
            "sub(Local0,0x1287)");
  const char* iteDevices[] = {"FDC", "Serial Port 1", "Serial Port 2", "Parallel Port",
                              "Environment Controller", "KBC (Keyboard)", "KBC (Mouse)", "GPIO",
                              "MIDI Port", "Game Port", "Consumer IR"};
  for (unsigned ldn = 0; ldn < 11; ++ldn) EXPECT_EQ(N(ite.DeviceNames[ldn]), iteDevices[ldn]);

  const TSioCfg& smsc = Row("SMSC LPC47M15x/LPC47M192");
  EXPECT_EQ(N(smsc.DetectScripts[1]),
            "LocalA=0x4e; LocalB=0x4f;o LocalA 0xaa; o(LocalA,0x87); "
            "Local0=IID(LocalA,LocalB,0x20); sub(Local0,0x60)");
  const std::vector<std::pair<unsigned, std::string>> smscDevices = {
      {0x00, "FDD"}, {0x03, "Parallel Port"}, {0x04, "Serial Port 1"}, {0x05, "Serial Port 2"},
      {0x07, "Keyboard"}, {0x09, "Game Port"}, {0x0A, "Runtime Registers"}, {0x0B, "MPU-401"}};
  for (const auto& [ldn, name] : smscDevices) EXPECT_EQ(N(smsc.DeviceNames[ldn]), name) << ldn;

  const TSioCfg& fintek = Row("FinTek F71882/F71883");
  EXPECT_EQ(N(fintek.DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o LocalA 0x87; o LocalA 0x87; "
            "Local0=IID32(LocalA,LocalB,0x20); sub(Local0,0x34194105)");
  const std::vector<std::pair<unsigned, std::string>> fintekDevices = {
      {0x00, "FDC"}, {0x01, "UART 1"}, {0x02, "UART 2"}, {0x03, "Parallel Port"},
      {0x04, "Hardware Monitor"}, {0x05, "KBC"}, {0x06, "GPIO"}, {0x07, "VID"}, {0x08, "SPI"},
      {0x0A, "PME & ACPI"}};
  for (const auto& [ldn, name] : fintekDevices) EXPECT_EQ(N(fintek.DeviceNames[ldn]), name) << ldn;

  // The remaining forms' examples, and the two multi-value probes.
  EXPECT_EQ(N(Row("NCT6791D").DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f; o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
            "Local0=IID16(LocalA,LocalB,0x20); sub(Local0,0x03c8)");
  EXPECT_EQ(N(Row("W83627EHF/EHG").DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
            "Local0=IID(LocalA,LocalB,0x20); sub(Local0,0x88)");
  EXPECT_EQ(N(Row("IT8720F").DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f; o(LocalA,0x02); o(LocalB,0x02); o(LocalA,0x87); "
            "o(LocalA,0x01); o(LocalA,0x55); o(LocalA,0x55); Local0=IID16(LocalA,LocalB,0x20); "
            "sub(Local0,0x2087)");
  EXPECT_EQ(N(Row("IT8510E").DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f; Local0=IID16(LocalA,LocalB,0x20); sub(Local0,0x1085)");
  EXPECT_EQ(N(Row("W83627HF/F").DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f; o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
            "Local0=IID16(LocalA,LocalB,0x20); bkif0(sub(Local0,0x1752)); "
            "bkif0(sub(Local0,0x3a52)); sub(Local0,0x4152)");
  EXPECT_EQ(N(Row("W83627DHG").DetectScripts[0]),
            "LocalA=0x2e; LocalB=0x2f;o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
            "Local0=IID16(LocalA,LocalB,0x20); Local0=and(Local0,0xf0ff); "
            "bkif0(sub(Local0,0x20A0)); sub(Local0,0x70B0)");
  EXPECT_EQ(N(Row("W83697SF").DeviceNames[0x0D]), "GPIO 6");
  EXPECT_EQ(N(Row("W83697UF/UG").DeviceNames[0x0E]), "URD, GPIO 7");
  EXPECT_EQ(N(Row("W83627HF/F").DeviceNames[0x09]), "GPIO Port 3, VSB powered");
}

}  // namespace
