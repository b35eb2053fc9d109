// The BIOS identity record and the board description built on it.

#include <string>

#include "PlatformTestSupport.h"
#include "hwaccess/ReadWrite.h"
#include "platform/OrvBiosInfo.h"
#include "platform/OrvSpec.h"

namespace {

using nlohmann::json;

json IdentityBoard(json identity) { return {{"firmware", {{"identity", identity}}}}; }

TEST_F(PlatformTest, IdentityRecordDecodesNameVersionAndDate) {
  Install(IdentityBoard({{"project", "Z170-Pro.."},
                         {"version", {{"letter", "P"}, {"major", 1}, {"minor", 20}, {"suffix", "A"}}},
                         {"date", "2015/07/03"}}));
  TOrvBiosInfo& info = TOrvBiosInfo::Instance();
  EXPECT_TRUE(info.SignatureFound);
  EXPECT_TRUE(info.RecordValid);
  EXPECT_EQ(info.RawProjectName, L"Z170-Pro..");
  EXPECT_EQ(info.ProjectName, L"Z170-Pro");
  EXPECT_EQ(info.BiosVersion, L"P1.20A");
  EXPECT_EQ(info.BiosDate, L"2015/07/03");
  EXPECT_EQ(TOrvSpec::Instance().ModelName, L"Z170-Pro");
  EXPECT_TRUE(TOrvSpec::Instance().HasBiosSignature());
}

TEST_F(PlatformTest, IdentityRecordTextRules) {
  std::array<std::uint8_t, 64> r{};
  r[42] = 'P';
  r[43] = 1;
  r[44] = 20;
  r[45] = '0';  // no suffix
  EXPECT_EQ(TOrvBiosInfo::DecodeVersion(r), L"P1.20");
  r[43] = 200;  // unsigned
  r[44] = 5;
  r[45] = 'b';
  EXPECT_EQ(TOrvBiosInfo::DecodeVersion(r), L"P200.05b");
  r[46] = 0xE1;  // 2017, little-endian
  r[47] = 0x07;
  r[48] = 12;
  r[49] = 31;
  EXPECT_EQ(TOrvBiosInfo::DecodeDate(r), L"2017/12/31");
  // The name ends at its first NUL; with none, all 32 bytes count. ANSI 0x80 is the euro sign.
  const char name[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
  std::copy(name, name + 32, r.begin() + 10);
  EXPECT_EQ(TOrvBiosInfo::DecodeRawProjectName(r), L"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
  r[13] = 0x80;
  r[14] = 0;
  EXPECT_EQ(TOrvBiosInfo::DecodeRawProjectName(r), L"ABC\u20AC");
  EXPECT_EQ(TOrvBiosInfo::TrimTrailingDots(L"..."), L"");
  EXPECT_EQ(TOrvBiosInfo::TrimTrailingDots(L"A.B.."), L"A.B");
}

TEST_F(PlatformTest, IdentityRecordWholeNameOfThirtyTwoCharacters) {
  Install(IdentityBoard({{"project", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"}}));
  EXPECT_EQ(TOrvBiosInfo::Instance().ProjectName, L"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
}

TEST_F(PlatformTest, IdentityRecordWithFailingChecksumIsPassedOver) {
  Install(IdentityBoard({{"project", "GoodBoard"},
                         {"address", "0xF0000"},
                         {"corrupt_copy", {{"address", "0xE8000"}, {"project", "StaleBoard"}}}}));
  EXPECT_TRUE(TOrvBiosInfo::Instance().RecordValid);
  EXPECT_EQ(TOrvBiosInfo::Instance().ProjectName, L"GoodBoard");

  gavrelo::ResetProcessStateForTests();
  // Only a corrupt copy: the signature is there, the record is not; everything stays empty.
  TVirtualBoard& board = Install(IdentityBoard({{"project", "GoodBoard"}, {"address", "0xF0000"}}));
  std::uint8_t b = 0;
  board.PeekMemory(0xF0000 + 20, &b, 1);
  b ^= 0x40;
  board.PokeMemory(0xF0000 + 20, &b, 1);
  TOrvBiosInfo& info = TOrvBiosInfo::Instance();
  EXPECT_TRUE(info.SignatureFound);
  EXPECT_FALSE(info.RecordValid);
  EXPECT_EQ(info.RawProjectName, L"");
  EXPECT_EQ(info.BiosVersion, L"");
  EXPECT_EQ(info.BiosDate, L"");
  EXPECT_EQ(TOrvSpec::Instance().ModelName, L"");

  gavrelo::ResetProcessStateForTests();
  Install({{"memory", {{{"base", "0xE0000"}, {"size", "0x20000"}}}}});
  EXPECT_FALSE(TOrvBiosInfo::Instance().SignatureFound);
  EXPECT_FALSE(TOrvSpec::Instance().HasBiosSignature());
}

TEST_F(PlatformTest, FileSafeModelName) {
  EXPECT_EQ(TOrvSpec::MakeSafeModelName(L"A/B:C"), L"A_B_C");
  EXPECT_EQ(TOrvSpec::MakeSafeModelName(L"Pro 4 \\*?\"<>|"), L"Pro_4________");
  EXPECT_EQ(TOrvSpec::MakeSafeModelName(L"0"), L"");
  EXPECT_EQ(TOrvSpec::MakeSafeModelName(L"00"), L"00");
  Install(IdentityBoard({{"project", "X99 A/B."}}));
  EXPECT_EQ(TOrvSpec::Instance().ModelName, L"X99 A/B");
  EXPECT_EQ(TOrvSpec::Instance().SafeModelName, L"X99_A_B");
}

TEST_F(PlatformTest, BoardSpecificationHandsTheMcfgBaseToTheAccessService) {
  Install({{"firmware",
            {{"identity", {{"project", "Board"}}},
             {"acpi", {{"mcfg", {{"allocations", {{{"base", "0xB0000000"}}}}}}}}}}});
  EXPECT_EQ(TReadWrite::Instance().PcieBase, 0xFFFFFFFFu);
  TOrvSpec::Instance();
  EXPECT_EQ(TReadWrite::Instance().PcieBase, 0xB0000000u);
}

// P-state support: SSDT "_PSS" and a FADT are needed; AMI's generic FADT does not count
// on Vista and later.
json PStateBoard(const char* fadtOemId, const char* fadtTableId, std::uint32_t fadtRevision,
                 json os) {
  return {{"os", os},
          {"firmware",
           {{"acpi",
             {{"fadt", {{"oem_id", fadtOemId}, {"oem_table_id", fadtTableId}, {"oem_revision", fadtRevision}}},
              {"ssdts", {{{"text", "\x10\x20\\_PR_CPU0_PSS\x12"}}}}}}}}};
}

TEST_F(PlatformTest, PStateSupportAndTheAmiFadtException) {
  const json windows7 = {{"major", 6}, {"minor", 1}};
  const json windowsXp = {{"major", 5}, {"minor", 1}};
  Install(PStateBoard("A M I", "OEMFACP", 0x12000601, windows7));
  EXPECT_FALSE(TOrvSpec::Instance().PStateSupported);

  gavrelo::ResetProcessStateForTests();
  Install(PStateBoard("A M I", "OEMFACP", 0x12000601, windowsXp));
  EXPECT_TRUE(TOrvSpec::Instance().PStateSupported);

  gavrelo::ResetProcessStateForTests();
  // Another OEM revision is not the generic table.
  Install(PStateBoard("A M I", "OEMFACP", 0x12000602, windows7));
  EXPECT_TRUE(TOrvSpec::Instance().PStateSupported);

  gavrelo::ResetProcessStateForTests();
  // Without any P-state object nothing is supported.
  Install({{"os", windows7},
           {"firmware", {{"acpi", {{"fadt", json::object()}, {"ssdts", {{{"text", "no objects"}}}}}}}}});
  EXPECT_FALSE(TOrvSpec::Instance().PStateSupported);
}

TEST_F(PlatformTest, PStateFoundThroughTheDsdtsOperationRegionOfAnSsdt) {
  // DSDT: OperationRegion (SSDT, SystemMemory, 0x00120000, ...): "SSDT", space 0, DWord
  // prefix 0x0C, then the address 6 bytes after the name.
  json dsdt = {{"hex", "5B 80 53 53 44 54 00 0C 00 00 12 00 0C 00 10 00 00"}};
  json description = {{"os", {{"major", 10}}},
                      {"memory", {{{"base", "0x120000"}, {"bytes", "5F 50 53 53"}, {"size", 4096}}}},
                      {"firmware", {{"acpi", {{"fadt", json::object()}, {"dsdt", dsdt}}}}}};
  Install(description);
  EXPECT_TRUE(TOrvSpec::Instance().PStateSupported);

  gavrelo::ResetProcessStateForTests();
  description["memory"][0]["bytes"] = "5F 50 53 00";
  Install(description);
  EXPECT_FALSE(TOrvSpec::Instance().PStateSupported);
}

}  // namespace
