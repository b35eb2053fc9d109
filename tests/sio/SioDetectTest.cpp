// The detection pass on the boards of boards/ and on chips built for the cases that need
// them: which rows match, Entry, family codes per port, CurrentConfigPort, the log lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "diag/DebugConsole.h"
#include "host/Console.h"
#include "hwaccess/ReadWrite.h"
#include "sio/SioBase.h"
#include "SioTestBoard.h"

namespace {

using Cycle = TPortCycle;

struct TExpectedDetection {
  const char* Board;
  std::vector<std::pair<std::uint16_t, std::string>> Matches;
  std::map<std::uint16_t, std::uint16_t> Families;
  std::uint16_t CurrentPort;
};

std::vector<std::pair<std::uint16_t, std::string>> MatchList(const TSioBase& sio) {
  std::vector<std::pair<std::uint16_t, std::string>> result;
  for (const TSioMatch& m : sio.Matches()) result.emplace_back(m.Port, host::WideToUtf8(m.Row->FullName));
  return result;
}

class SioDetectTest : public SioBoardTest {};

TEST_F(SioDetectTest, EveryBoardOfTheRepository) {
  const std::vector<TExpectedDetection> cases = {
      {"sio-W.json", {{0x2E, "NCT6791D"}}, {{0x2E, SIO_NCT6791D}}, 0x2E},
      {"sio-WM.json", {{0x2E, "W83627UHG"}}, {{0x2E, SIO_W83627UHG}}, 0x2E},
      {"demo.json", {{0x2E, "W83627UHG"}}, {{0x2E, SIO_W83627UHG}}, 0x2E},
      // "W83627EHF/EHG" is of the W83627 line: the name prefix gives the W83627 class.
      {"sio-W8.json", {{0x2E, "W83627EHF/EHG"}}, {{0x2E, SIO_W83627}}, 0x2E},
      {"sio-I.json", {{0x2E, "IT8712F"}}, {{0x2E, SIO_ITE}}, 0x2E},
      {"sio-I2.json", {{0x2E, "IT8720F"}}, {{0x2E, SIO_ITE}}, 0x2E},
      {"sio-E.json", {{0x2E, "IT8512E"}}, {{0x2E, SIO_ITE}}, 0x2E},
      {"sio-S.json", {{0x2E, "SMSC LPC47M15x/LPC47M192"}}, {}, 0x2E},  // SMSC: no family
      {"sio-F.json", {{0x2E, "FinTek F71882/F71883"}}, {}, 0x2E},      // FinTek: no family
      {"sio-dual.json",
       {{0x2E, "NCT6776F"}, {0x4E, "W83627DHG"}},
       {{0x2E, SIO_NCT6776F}, {0x4E, SIO_W83627}},
       0x4E},
  };
  for (const TExpectedDetection& expected : cases) {
    SCOPED_TRACE(expected.Board);
    gavrelo::ResetProcessStateForTests();
    Load(expected.Board);
    TSioBase sio;
    EXPECT_EQ(MatchList(sio), expected.Matches);
    EXPECT_EQ(host::WideToUtf8(sio.ChipEntry().FullName), expected.Matches.back().second);
    EXPECT_EQ(sio.Families(), expected.Families);
    EXPECT_EQ(CurrentConfigPort, expected.CurrentPort);
  }
}

TEST_F(SioDetectTest, RowsSharingAnIdBothMatchAndTheLaterIsEntry) {
  // 0x31C3 is the ID of both NCT5573D and NCT5577D (rows without a vendor, so no family of
  // their own). The NCT6776F row ignores the low revision nibble and so accepts 0x31C3 too:
  // being later in key order, it is the last match and decides Entry and the family.
  LoadChip({{"name", "NCT5577D"}, {"port", "0x2E"}, {"keys", "nuvoton"}, {"id", "C3 31"}});
  {
    TSioBase sio;
    EXPECT_EQ(MatchList(sio), (std::vector<std::pair<std::uint16_t, std::string>>{
                                  {0x2E, "NCT5573D"}, {0x2E, "NCT5577D"}, {0x2E, "NCT6776F"}}));
    EXPECT_EQ(host::WideToUtf8(sio.ChipEntry().FullName), "NCT6776F");
    EXPECT_EQ(sio.Families(), (std::map<std::uint16_t, std::uint16_t>{{0x2E, SIO_NCT6776F}}));
    EXPECT_EQ(CurrentConfigPort, 0x2E);
  }
  // Revision nibble 2 (0x32C3): only the masked NCT6776F probe accepts it.
  gavrelo::ResetProcessStateForTests();
  LoadChip({{"name", "NCT5577D"}, {"port", "0x2E"}, {"keys", "nuvoton"}, {"id", "C3 32"}});
  {
    TSioBase sio;
    EXPECT_EQ(MatchList(sio),
              (std::vector<std::pair<std::uint16_t, std::string>>{{0x2E, "NCT6776F"}}));
  }
  gavrelo::ResetProcessStateForTests();
  LoadChip({{"name", "W83L517G"}, {"port", "0x2E"}, {"keys", "winbond"}, {"id", "61 00"}});
  TSioBase sio;
  EXPECT_EQ(MatchList(sio), (std::vector<std::pair<std::uint16_t, std::string>>{
                                {0x2E, "W83L517D"}, {0x2E, "W83L517G"}}));
  EXPECT_EQ(host::WideToUtf8(sio.ChipEntry().FullName), "W83L517G");
  EXPECT_EQ(sio.Families(), (std::map<std::uint16_t, std::uint16_t>{{0x2E, SIO_WINBOND}}));
}

TEST_F(SioDetectTest, AlternativeIdsOfOneRow) {
  // W83627HF/F accepts 0x1752, 0x3A52 and 0x4152; the first two stop the probe at a bkif0.
  for (const char* id : {"52 17", "52 3A", "52 41"}) {
    SCOPED_TRACE(id);
    gavrelo::ResetProcessStateForTests();
    LoadChip({{"name", "W83627HF"}, {"port", "0x2E"}, {"keys", "winbond"}, {"id", id}});
    TSioBase sio;
    EXPECT_EQ(MatchList(sio),
              (std::vector<std::pair<std::uint16_t, std::string>>{{0x2E, "W83627HF/F"}}));
  }
  gavrelo::ResetProcessStateForTests();
  LoadChip({{"name", "W83627HF"}, {"port", "0x2E"}, {"keys", "winbond"}, {"id", "52 42"}});
  TSioBase sio;
  EXPECT_TRUE(sio.Matches().empty());
  EXPECT_EQ(CurrentConfigPort, 0xFFFF);
}

TEST_F(SioDetectTest, AChipAtTheSecondPortIsKeyedThere) {
  LoadChip({{"name", "W83627UHG"}, {"port", "0x4E"}, {"keys", "winbond"}, {"id", "A2 30"}});
  TSioBase sio;
  EXPECT_EQ(MatchList(sio),
            (std::vector<std::pair<std::uint16_t, std::string>>{{0x4E, "W83627UHG"}}));
  EXPECT_EQ(CurrentConfigPort, 0x4E);
  EXPECT_EQ(sio.GetFamily(0x4E), SIO_W83627UHG);
  // A port nothing matched at reads 0 and becomes a key.
  EXPECT_EQ(sio.GetFamily(0x2E), 0);
  EXPECT_EQ(sio.Families(),
            (std::map<std::uint16_t, std::uint16_t>{{0x2E, 0}, {0x4E, SIO_W83627UHG}}));
}

TEST_F(SioDetectTest, PassOnAnEmptyBoardRunsEveryProbeOnce) {
  LoadJson(nlohmann::json::object());
  TSioBase sio;
  const std::vector<Cycle> cycles = Cycles();
  // Per probe: F 3 keys + 4 reads, I/I2 6 key writes + 2 reads, W/WM 3 + 2, W8 3 + 1, E 2,
  // S 2 + 1; each read is an index write and a data read. 2 probes per row.
  const unsigned perRows = 4 * 11 + 2 * 10 + 3 * 4 + 10 * 10 + 7 * 7 + 18 * 7 + 1 * 5 + 8 * 4;
  EXPECT_EQ(cycles.size(), 2 * perRows);
  // The first row, FinTek F71805F/FG, at 0x2E and then at 0x4E (IID32 reads 0x23 down).
  const std::vector<Cycle> first(cycles.begin(), cycles.begin() + 22);
  EXPECT_EQ(first, (std::vector<Cycle>{
                       Cycle::Out(0x2E, 0xAA), Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x87),
                       Cycle::Out(0x2E, 0x23), Cycle::In(0x2F, 0xFF), Cycle::Out(0x2E, 0x22),
                       Cycle::In(0x2F, 0xFF), Cycle::Out(0x2E, 0x21), Cycle::In(0x2F, 0xFF),
                       Cycle::Out(0x2E, 0x20), Cycle::In(0x2F, 0xFF),
                       Cycle::Out(0x4E, 0xAA), Cycle::Out(0x4E, 0x87), Cycle::Out(0x4E, 0x87),
                       Cycle::Out(0x4E, 0x23), Cycle::In(0x4F, 0xFF), Cycle::Out(0x4E, 0x22),
                       Cycle::In(0x4F, 0xFF), Cycle::Out(0x4E, 0x21), Cycle::In(0x4F, 0xFF),
                       Cycle::Out(0x4E, 0x20), Cycle::In(0x4F, 0xFF)}));
  EXPECT_TRUE(sio.Matches().empty());
  EXPECT_TRUE(sio.ChipEntry().FullName.empty());
  EXPECT_TRUE(sio.Families().empty());
  EXPECT_EQ(CurrentConfigPort, 0xFFFF);
}

TEST_F(SioDetectTest, ProbeOfTheMatchingRowOnTheTrace) {
  // The SMSC rows: key 0x55 at 0x2E, but 0x87 at 0x4E (so an SMSC chip at 0x4E stays shut).
  Load("sio-S.json");
  TSioBase sio;
  const std::vector<Cycle> cycles = Cycles();
  const std::vector<Cycle> smsc2E = {Cycle::Out(0x2E, 0xAA), Cycle::Out(0x2E, 0x55),
                                     Cycle::Out(0x2E, 0x20), Cycle::In(0x2F, 0x60)};
  const std::vector<Cycle> smsc4E = {Cycle::Out(0x4E, 0xAA), Cycle::Out(0x4E, 0x87),
                                     Cycle::Out(0x4E, 0x20), Cycle::In(0x4F, 0xFF)};
  std::vector<Cycle> expected = smsc2E;
  expected.insert(expected.end(), smsc4E.begin(), smsc4E.end());
  EXPECT_NE(std::search(cycles.begin(), cycles.end(), expected.begin(), expected.end()),
            cycles.end());
  // The pass ends with the matched row's lock sequence at its port, once.
  EXPECT_EQ(cycles.back(), Cycle::Out(0x2E, 0xAA));
  EXPECT_NE(cycles[cycles.size() - 2], Cycle::Out(0x2E, 0xAA));
  EXPECT_FALSE(Chip(0x2E).Unlocked());
}

TEST_F(SioDetectTest, LogLines) {
  TDebugConsole::Instance(true);
  Load("sio-W.json");
  testing::internal::CaptureStdout();
  { TSioBase sio; }
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(log, "superio ... [0]\nSIO TYPE ... [NCT6791D]\nNuvoton\n");

  gavrelo::ResetProcessStateForTests();
  TDebugConsole::Instance(true);
  Load("sio-dual.json");
  testing::internal::CaptureStdout();
  { TSioBase sio; }
  log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(log,
            "superio ... [0]\nSIO TYPE ... [NCT6776F]\nNuvoton\n"
            "SIO TYPE ... [W83627DHG]\nWinbond\n");
}

TEST_F(SioDetectTest, DisabledDetectionTouchesNoPort) {
  TDebugConsole::Instance(true);
  Load("sio-WM.json");
  TReadWrite::Instance().Settings().DisableSuperIo = true;
  ClearTrace();
  testing::internal::CaptureStdout();
  TSioBase sio;
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(log, "superio ... [-1]\n");
  EXPECT_TRUE(Cycles().empty());
  EXPECT_TRUE(sio.ChipEntry().FullName.empty());
  EXPECT_EQ(sio.GetFamily(0x2E), 0);
  EXPECT_EQ(sio.GetFamily(0x4E), 0);
  EXPECT_EQ(CurrentConfigPort, 0xFFFF);
}

}  // namespace
