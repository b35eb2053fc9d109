// The ACPI walk on generated firmware: list order, root pointer revisions, the platform
// values, and corrupt tables that must stay bounded.

#include <string>
#include <vector>

#include "PlatformTestSupport.h"
#include "host/FirmwareTables.h"
#include "hwaccess/ReadWrite.h"
#include "platform/AcpiBase.h"

namespace {

using nlohmann::json;

TEST_F(PlatformTest, AcpiListsRsdtTablesFirstThenFacsAndDsdtOfTheFadt) {
  TVirtualBoard& board = Install(AcpiBoard({{"fadt", json::object()},
                                            {"madt", json::object()},
                                            {"ssdts", {{{"text", "SSDT body"}}}}}));
  TAcpiBase& acpi = TAcpiBase::Instance();
  ASSERT_TRUE(acpi.Found);
  const std::vector<std::string> expected = {"RSDT", "FACP", "APIC", "SSDT", "FACS", "DSDT"};
  ASSERT_EQ(acpi.Tables.size(), expected.size() + 1);
  EXPECT_EQ(acpi.Tables[0].Address, kRsdp);
  EXPECT_EQ(acpi.Tables[0].Length, 20u);  // revision 0
  EXPECT_EQ(acpi.Tables[1].Address, PeekDword(board, kRsdp + 16));
  for (std::size_t i = 1; i < acpi.Tables.size(); ++i) {
    EXPECT_EQ(SignatureAt(board, acpi.Tables[i].Address), expected[i - 1]) << i;
    EXPECT_EQ(acpi.Tables[i].Length, PeekDword(board, acpi.Tables[i].Address + 4)) << i;
  }
  // The FACS and DSDT are the FADT's own pointers.
  EXPECT_EQ(acpi.Tables[5].Address, PeekDword(board, acpi.Tables[2].Address + 36));
  EXPECT_EQ(acpi.Tables[6].Address, PeekDword(board, acpi.Tables[2].Address + 40));
  EXPECT_EQ(acpi.DsdtAddress, acpi.Tables[6].Address);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(acpi.DsdtHeader.data()), 4), "DSDT");
  EXPECT_EQ(acpi.McfgBase, 0xFFFFFFFFu);  // no MCFG
}

TEST_F(PlatformTest, AcpiRootPointerRevisionsAndChecksum) {
  {
    TVirtualBoard& board = Install(AcpiBoard({{"revision", 2}, {"madt", json::object()}}));
    TAcpiBase& acpi = TAcpiBase::Instance();
    ASSERT_TRUE(acpi.Found);
    EXPECT_EQ(acpi.Tables[0].Length, 36u);
    // Entry 1 is the 32-bit RSDT even though an XSDT is offered.
    EXPECT_EQ(acpi.Tables[1].Address, PeekDword(board, kRsdp + 16));
    EXPECT_EQ(SignatureAt(board, acpi.Tables[1].Address), "RSDT");
    EXPECT_NE(PeekDword(board, kRsdp + 24), 0u);
  }
  gavrelo::ResetProcessStateForTests();
  {
    // A root pointer whose first 20 bytes do not sum to 0 is not taken; nothing changes.
    TVirtualBoard& board = Install(AcpiBoard({{"madt", {{"local_apic", "0xFEE10000"}}}}));
    std::uint8_t b = 0;
    board.PeekMemory(kRsdp + 19, &b, 1);
    b ^= 0x01;
    board.PokeMemory(kRsdp + 19, &b, 1);
    TAcpiBase& acpi = TAcpiBase::Instance();
    EXPECT_FALSE(acpi.Found);
    EXPECT_TRUE(acpi.Tables.empty());
    EXPECT_EQ(TReadWrite::Instance().Settings().LocalApicBase, 0u);
  }
}

TEST_F(PlatformTest, AcpiCopiesPlatformValuesFromFadtMadtEcdtAndMcfg) {
  Install(AcpiBoard({{"fadt",
                      {{"sci_int", 11}, {"smi_cmd", "0xB2"}, {"acpi_enable", "0xA0"},
                       {"acpi_disable", "0xA1"}, {"s4bios_req", 5}, {"pstate_cnt", "0x80"},
                       {"pm1a_evt_blk", "0x1800"}, {"pm_tmr_blk", "0x1808"}, {"flags", "0x1A5"}}},
                     {"madt",
                      {{"local_apic", "0xFEE00000"},
                       {"io_apics",
                        {{{"address", "0xFEC00000"}, {"gsi_base", 0}},
                         {{"address", "0xFEC01000"}, {"gsi_base", 24}},
                         {{"address", "0xFEC02000"}, {"gsi_base", 0}}}}}},
                     {"ecdt", {{"command", "0x66"}, {"data", "0x62"}, {"address_space", 1}}},
                     {"mcfg", {{"allocations", {{{"base", "0xE0000000"}}, {{"base", "0xD0000000"}}}}}}}));
  TAcpiBase& acpi = TAcpiBase::Instance();
  const RwCfg& s = TReadWrite::Instance().Settings();
  EXPECT_EQ(s.SciInterrupt, 11u);
  EXPECT_EQ(s.SmiCommandPort, 0xB2);
  EXPECT_EQ(s.AcpiEnableValue, 0xA0);
  EXPECT_EQ(s.AcpiDisableValue, 0xA1);
  EXPECT_EQ(s.S4BiosRequest, 5);
  EXPECT_EQ(s.PStateControl, 0x80);
  EXPECT_EQ(s.Pm1aEventBlock, 0x1800);
  EXPECT_EQ(s.PmTimerBlock, 0x1808);
  EXPECT_EQ(s.PmTimer32Bit, 0x100);
  EXPECT_EQ(s.LocalApicBase, 0xFEE00000u);
  // Of the two I/O APICs with interrupt base 0 the later one wins; base 24 never does.
  EXPECT_EQ(s.IoApicBase, 0xFEC02000u);
  EXPECT_EQ(s.EcCommandPort, 0x66);
  EXPECT_EQ(s.EcDataPort, 0x62);
  EXPECT_EQ(s.EcAddressSpace, 1);
  EXPECT_EQ(acpi.McfgBase, 0xE0000000u);  // the first allocation
}

TEST_F(PlatformTest, AcpiKeepsDefaultsForAbsentTablesAndMcfgWithoutAllocation) {
  Install(AcpiBoard({{"ecdt", {{"command", "0x1066"}, {"data", "0x1062"}, {"address_space", 3}}},
                     {"mcfg", json::object()}}));
  TAcpiBase& acpi = TAcpiBase::Instance();
  const RwCfg& s = TReadWrite::Instance().Settings();
  EXPECT_EQ(acpi.Tables[3].Length, 44u);
  EXPECT_EQ(acpi.McfgBase, 0xFFFFFFFFu);
  EXPECT_EQ(s.EcCommandPort, 0x1066);
  EXPECT_EQ(s.EcDataPort, 0x1062);
  EXPECT_EQ(s.EcAddressSpace, 3);
  // No FADT or MADT: their values keep the record's defaults.
  EXPECT_EQ(s.Pm1aEventBlock, 0x800);
  EXPECT_EQ(s.SciInterrupt, 9u);
  EXPECT_EQ(s.IoApicBase, 0xFEC00000u);
  EXPECT_EQ(s.LocalApicBase, 0u);
}

TEST_F(PlatformTest, AcpiUsesTheKernelRecordWhenTheLegacyAreaHasNoRootPointer) {
  // UEFI firmware: the root pointer lies in high memory, only the kernel's record says where.
  json acpi = {{"revision", 2}, {"rsdp_address", "0x7FF00000"}, {"tables_address", "0x7FF10000"},
               {"mcfg", {{"allocations", {{{"base", "0xC0000000"}}}}}}};
  Install({{"firmware", {{"acpi", acpi}, {"systab", {{"acpi20", "0x7FF00000"}}}}}});
  EXPECT_TRUE(TAcpiBase::Instance().Found);
  EXPECT_EQ(TAcpiBase::Instance().Tables[0].Address, 0x7FF00000u);
  EXPECT_EQ(TAcpiBase::Instance().McfgBase, 0xC0000000u);

  gavrelo::ResetProcessStateForTests();
  // The same board without the record finds nothing.
  Install({{"firmware", {{"acpi", acpi}, {"systab", json::object()}}}});
  EXPECT_FALSE(TAcpiBase::Instance().Found);
  EXPECT_TRUE(TAcpiBase::Instance().Tables.empty());
}

TEST_F(PlatformTest, AcpiWalkStaysBoundedOnCorruptTables) {
  {
    // An RSDT that lists itself: every visit would add it again.
    TVirtualBoard& board = Install(AcpiBoard({{"madt", json::object()}}));
    std::uint32_t rsdt = PeekDword(board, kRsdp + 16);
    PokeDword(board, rsdt + 36, rsdt);
    TAcpiBase& acpi = TAcpiBase::Instance();
    EXPECT_TRUE(acpi.BoundHit);
    EXPECT_EQ(acpi.Tables.size(), TAcpiBase::kMaxTables);
    for (std::size_t i = 1; i < acpi.Tables.size(); ++i) EXPECT_EQ(acpi.Tables[i].Address, rsdt);
  }
  gavrelo::ResetProcessStateForTests();
  {
    // A table length of 0xFFFFFFFF: listed as the header says, never read or allocated.
    TVirtualBoard& board = Install(AcpiBoard({{"fadt", json::object()}, {"madt", json::object()}}));
    std::uint32_t fadt = RsdtEntry(board, kRsdp, 0);
    std::uint32_t madt = RsdtEntry(board, kRsdp, 1);
    PokeDword(board, fadt + 4, 0xFFFFFFFF);
    board.Trace().Clear();
    TAcpiBase& acpi = TAcpiBase::Instance();
    EXPECT_TRUE(acpi.BoundHit);
    ASSERT_EQ(acpi.Tables.size(), 4u);  // RSDP, RSDT, FACP, APIC: no FACS/DSDT from it
    EXPECT_EQ(acpi.Tables[2].Length, 0xFFFFFFFFu);
    EXPECT_EQ(acpi.DsdtAddress, 0u);
    EXPECT_EQ(acpi.Tables[3].Address, madt);
    for (const TTraceEvent& e : board.Trace().Events()) {
      if (e.Kind == TTraceKind::MemRead) {
        EXPECT_LE(e.Length, 0x20000u);
      }
    }
  }
  gavrelo::ResetProcessStateForTests();
  {
    // A MADT structure of length 0 ends its walk before the I/O APIC; an MCFG that claims
    // less than its own header holds no allocation.
    TVirtualBoard& board = Install(AcpiBoard({{"madt", {{"local_apic", "0xFEE00000"},
                                                        {"io_apics", {{{"address", "0xFEC05000"}}}}}},
                                              {"mcfg", {{"allocations", {{{"base", "0xE0000000"}}}}}}}));
    std::uint32_t madt = RsdtEntry(board, kRsdp, 0);
    std::uint32_t mcfg = RsdtEntry(board, kRsdp, 1);
    std::uint8_t zero = 0;
    board.PokeMemory(madt + 44 + 8 + 1, &zero, 1);  // after the one processor entry
    PokeDword(board, mcfg + 4, 20);
    TAcpiBase& acpi = TAcpiBase::Instance();
    EXPECT_EQ(TReadWrite::Instance().Settings().IoApicBase, 0xFEC00000u);
    EXPECT_EQ(acpi.McfgBase, 0xFFFFFFFFu);
  }
}

TEST(FirmwareTableRecord, ParsesTheKernelsSystabLines) {
  host::TFirmwareTableRecord r = host::ParseFirmwareTableRecord(
      "ACPI20=0x7fb7e014\nACPI=0x7fb7e000\nSMBIOS=0xf0000\nSMBIOS3=0x7f9f1000\n"
      "ESRT=0x7c2d4018\nbogus\nACPI20=zz\n");
  EXPECT_EQ(r.Acpi20, 0x7fb7e014u);
  EXPECT_EQ(r.Acpi, 0x7fb7e000u);
  EXPECT_EQ(r.Smbios, 0xf0000u);
  EXPECT_EQ(r.Smbios3, 0x7f9f1000u);
  host::TFirmwareTableRecord none = host::ParseFirmwareTableRecord("SMBIOS=12\nACPI=0x\n");
  EXPECT_FALSE(none.Smbios);
  EXPECT_FALSE(none.Acpi);
}

}  // namespace
