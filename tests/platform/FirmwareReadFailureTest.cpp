// The firmware readers decode only what they read: tables, records and entry points whose
// reads fail, stray copies of the anchors beyond any count, the P-state scan of a refused
// table; and the 64-bit pointers of firmware that offers nothing else (a microVM).

#include <string>
#include <vector>

#include "PlatformTestSupport.h"
#include "hwaccess/ReadWrite.h"
#include "platform/AcpiBase.h"
#include "platform/OrvBiosInfo.h"
#include "platform/OrvSpec.h"
#include "platform/SmbiosBase.h"

namespace {

using nlohmann::json;

std::vector<std::string> Signatures(TVirtualBoard& board, const TAcpiBase& acpi) {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < acpi.Tables.size(); ++i)
    names.push_back(SignatureAt(board, acpi.Tables[i].Address));
  return names;
}

std::uint64_t BytesRead(TVirtualBoard& board) {
  std::uint64_t total = 0;
  for (const TTraceEvent& e : board.Trace().OfKind(TTraceKind::MemRead)) total += e.Length;
  return total;
}

TEST_F(PlatformTest, AcpiTableWhoseBodyCannotBeReadIsListedNotDecoded) {
  const json tables = {{"fadt", {{"sci_int", 11}, {"pm1a_evt_blk", "0x1800"}}},
                       {"madt", {{"local_apic", "0xFEE00000"}, {"io_apics", {{{"address", "0xFEC05000"}}}}}}};
  {
    // The FADT: its header reads, its body does not. No FADT value, no FACS or DSDT from it.
    TVirtualBoard& board = Install(AcpiBoard(tables));
    const std::uint32_t fadt = RsdtEntry(board, kRsdp, 0);
    board.FailMemory(fadt + 36, 1);
    TAcpiBase& acpi = TAcpiBase::Instance();
    EXPECT_EQ(Signatures(board, acpi), (std::vector<std::string>{"RSDT", "FACP", "APIC"}));
    EXPECT_TRUE(acpi.Tables[2].Refused);
    EXPECT_EQ(acpi.Tables[2].Length, PeekDword(board, fadt + 4));  // the header was read
    const RwCfg& s = TReadWrite::Instance().Settings();
    EXPECT_EQ(s.SciInterrupt, 9u);
    EXPECT_EQ(s.Pm1aEventBlock, 0x800);
    EXPECT_EQ(s.LocalApicBase, 0xFEE00000u);  // the MADT still reads
    EXPECT_EQ(acpi.FromFirmware.count("SciInterrupt"), 0u);
    EXPECT_EQ(acpi.FromFirmware.count("LocalApicBase"), 1u);
  }
  gavrelo::ResetProcessStateForTests();
  {
    // The MADT: no local APIC base of 0xFFFFFFFF.
    TVirtualBoard& board = Install(AcpiBoard(tables));
    board.FailMemory(RsdtEntry(board, kRsdp, 1) + 40, 1);
    TAcpiBase::Instance();
    EXPECT_EQ(TReadWrite::Instance().Settings().LocalApicBase, 0u);
    EXPECT_EQ(TReadWrite::Instance().Settings().IoApicBase, 0xFEC00000u);
  }
  gavrelo::ResetProcessStateForTests();
  {
    // The RSDT: no phantom tables at 0xFFFFFFFF.
    TVirtualBoard& board = Install(AcpiBoard(tables));
    board.FailMemory(PeekDword(board, kRsdp + 16) + 36, 1);
    TAcpiBase& acpi = TAcpiBase::Instance();
    ASSERT_EQ(acpi.Tables.size(), 2u);
    EXPECT_TRUE(acpi.Tables[1].Refused);
  }
  gavrelo::ResetProcessStateForTests();
  {
    // A header that cannot be read: listed with no length, refused.
    TVirtualBoard& board = Install(AcpiBoard(tables));
    board.FailMemory(RsdtEntry(board, kRsdp, 1), 1);
    TAcpiBase& acpi = TAcpiBase::Instance();
    ASSERT_EQ(acpi.Tables.size(), 6u);  // RSDP RSDT FACP APIC FACS DSDT
    EXPECT_TRUE(acpi.Tables[3].Refused);
    EXPECT_EQ(acpi.Tables[3].Length, 0u);
  }
}

TEST_F(PlatformTest, PStateCheckNeverScansATableTheWalkRefused) {
  // A DSDT whose header claims 0xFFFFFFFF bytes: the walk lists it and reads nothing; the
  // P-state check must not search the memory behind it for "_PSS", "_PCT" and "SSDT".
  TVirtualBoard& board = Install(AcpiBoard({{"fadt", json::object()}}));
  const std::uint32_t dsdt = PeekDword(board, RsdtEntry(board, kRsdp, 0) + 40);
  PokeDword(board, dsdt + 4, 0xFFFFFFFF);
  TSmbiosBase::Instance();
  TOrvBiosInfo::Instance();
  TAcpiBase& acpi = TAcpiBase::Instance();
  ASSERT_EQ(acpi.Tables.back().Address, dsdt);
  EXPECT_TRUE(acpi.Tables.back().Refused);
  board.Trace().Clear();
  EXPECT_FALSE(TOrvSpec::Instance().PStateSupported);
  // The signature test (128 KiB) and the FADT's header: nothing near the 4 MiB per search.
  EXPECT_LT(BytesRead(board), 0x30000u);
}

TEST_F(PlatformTest, IdentityRecordWhoseReadFailsIsNoRecord) {
  // The signature lies in the last bytes of the first 4 KiB the search reads, so the search
  // finds it; the record's remaining 56 bytes cannot be read.
  TVirtualBoard& board = Install({{"firmware", {{"identity", {{"project", "Board"}, {"address", "0xE0FF8"}}}}}});
  board.FailMemory(0xE1000, 0x40);
  TOrvBiosInfo& info = TOrvBiosInfo::Instance();
  EXPECT_TRUE(info.SignatureFound);
  EXPECT_FALSE(info.RecordValid);
  EXPECT_EQ(info.ProjectName, L"");
}

TEST_F(PlatformTest, AnchorSearchesTryEveryCopyInTheArea) {
  // 300 stray copies of each anchor before the real record and entry point: the searches
  // go on to the end of the area, however many copies it holds.
  TVirtualBoard& board = Install({{"firmware",
                                   {{"identity", {{"project", "Behind300"}, {"address", "0xF0000"}}},
                                    {"smbios", {{"entry_address", "0xF7000"},
                                                {"memory_devices", {{{"size_mb", 2048}}}}}}}}});
  for (std::uint64_t k = 0; k < 300; ++k) {
    ASSERT_TRUE(board.PokeMemory(0xE0000 + 64 * k, "$CN1368$ stale", 14));
    ASSERT_TRUE(board.PokeMemory(0xE8000 + 32 * k, "_SM_ stray", 10));
  }
  EXPECT_TRUE(TOrvBiosInfo::Instance().RecordValid);
  EXPECT_EQ(TOrvBiosInfo::Instance().ProjectName, L"Behind300");
  EXPECT_TRUE(TSmbiosBase::Instance().Found);
  EXPECT_EQ(TSmbiosBase::Instance().EntryPointAddress, 0xF7000u);
}

TEST_F(PlatformTest, SmbiosTableThatCannotBeReadIsNotWalked) {
  // The table lies outside the 4 KiB the entry point search reads with the entry point.
  TVirtualBoard& board = Install({{"firmware", {{"smbios", {{"entry_address", "0xF7000"},
                                                            {"table_address", "0xF9000"},
                                                            {"memory_devices", {{{"size_mb", 2048}}}}}}}}});
  board.FailMemory(0xF9000, 1);
  TSmbiosBase& sm = TSmbiosBase::Instance();
  EXPECT_TRUE(sm.Found);
  EXPECT_EQ(sm.DeviceCount, 0u);
  EXPECT_EQ(sm.PopulatedSlots, 0);
  EXPECT_FALSE(sm.WalkTruncated);
}

// The tables of a microVM's firmware: a revision 2 root pointer without RSDT, an XSDT, an
// FADT that gives the DSDT only in X_DSDT, and the SMBIOS 3 entry point alone.
json MicroVm() {
  return {{"firmware",
           {{"acpi", {{"rsdp_address", "0xE0000"},
                      {"tables_address", "0x7FFE0000"},
                      {"revision", 2},
                      {"rsdt", false},
                      {"fadt", {{"x_pointers_only", true}, {"sci_int", 5}}},
                      {"madt", {{"local_apic", "0xFEE00000"}, {"processors", 2}}},
                      {"mcfg", {{"allocations", {{{"base", "0xE0000000"}}}}}}}},
            {"smbios", {{"anchor", "_SM3_"},
                        {"version", "3.2"},
                        {"entry_address", "0xF0000"},
                        {"memory_arrays", {{{"devices", 1}}}},
                        {"memory_devices", {{{"size_mb", 2048}}}}}}}}};
}

TEST_F(PlatformTest, MicroVmTablesAreReadThroughTheirSixtyFourBitPointers) {
  TVirtualBoard& board = Install(MicroVm());
  TAcpiBase& acpi = TAcpiBase::Instance();
  ASSERT_TRUE(acpi.Found);
  EXPECT_EQ(PeekDword(board, 0xE0000 + 16), 0u);  // no RSDT
  EXPECT_TRUE(acpi.RootIsXsdt);
  // The FACS pointer is 0 in 32 bits: listed, not visited.
  EXPECT_EQ(Signatures(board, acpi),
            (std::vector<std::string>{"XSDT", "FACP", "APIC", "MCFG", "none", "DSDT"}));
  EXPECT_EQ(acpi.DsdtAddress, acpi.Tables.back().Address);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(acpi.DsdtHeader.data()), 4), "DSDT");
  EXPECT_EQ(acpi.McfgBase, 0xE0000000u);
  EXPECT_EQ(TReadWrite::Instance().Settings().SciInterrupt, 5u);
  EXPECT_EQ(TReadWrite::Instance().Settings().LocalApicBase, 0xFEE00000u);

  TSmbiosBase& sm = TSmbiosBase::Instance();
  ASSERT_TRUE(sm.Found);
  EXPECT_TRUE(sm.Smbios3);
  EXPECT_EQ(sm.EntryPointAddress, 0xF0000u);
  EXPECT_EQ(sm.Version, 0x32u);
  EXPECT_EQ(sm.DeclaredSlots, 1);
  EXPECT_EQ(sm.PopulatedSlots, 1);
  EXPECT_FLOAT_EQ(sm.SizeGB[0], 2.0f);
  EXPECT_FALSE(sm.WalkTruncated);
  EXPECT_EQ(TOrvSpec::Instance().Instance().PStateSupported, false);
}

TEST_F(PlatformTest, SixtyFourBitPointersOnlyWhereTheThirtyTwoBitOnesGiveNothing) {
  // Both DSDT pointers set, to different tables: the 32-bit one is used.
  TVirtualBoard& board = Install(AcpiBoard({{"revision", 2}, {"fadt", json::object()}}));
  const std::uint32_t fadt = RsdtEntry(board, kRsdp, 0);
  const std::uint32_t dsdt = PeekDword(board, fadt + 40);
  PokeDword(board, fadt + 140, fadt);  // X_DSDT elsewhere (checksums are not checked)
  TAcpiBase& acpi = TAcpiBase::Instance();
  EXPECT_FALSE(acpi.RootIsXsdt);
  EXPECT_EQ(SignatureAt(board, acpi.Tables[1].Address), "RSDT");
  EXPECT_EQ(acpi.DsdtAddress, dsdt);
  EXPECT_EQ(acpi.Tables.back().Address, dsdt);
}

}  // namespace
