// Configuration-register access on the virtual board: the exact port sequence of each vendor
// group's unlock and lock scripts around the index/data cycles, and the chip locked after
// every access.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hwaccess/ReadWrite.h"
#include "sio/SioBase.h"
#include "SioTestBoard.h"

namespace {

using Cycle = TPortCycle;
using Cycles_t = std::vector<Cycle>;

Cycles_t Join(std::initializer_list<Cycles_t> parts) {
  Cycles_t all;
  for (const Cycles_t& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Cycles_t kWinbondEnter = {Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x87)};
const Cycles_t kWinbondExit = {Cycle::Out(0x2E, 0xAA)};

class SioAccessTest : public SioBoardTest {};

TEST_F(SioAccessTest, WinbondGroupReadWriteAndBaseAddress) {
  Load("sio-WM.json");
  TSioBase sio;
  ASSERT_EQ(CurrentConfigPort, 0x2E);

  ClearTrace();
  EXPECT_EQ(sio.ReadConfigRegister(0x20), 0xA2);
  EXPECT_EQ(Cycles(), Join({kWinbondEnter, {Cycle::Out(0x2E, 0x20), Cycle::In(0x2F, 0xA2)},
                            kWinbondExit}));
  ExpectAllChipsLocked();

  ClearTrace();
  sio.WriteConfigRegister(0x2C, 0x5A);
  EXPECT_EQ(Cycles(), Join({kWinbondEnter, {Cycle::Out(0x2E, 0x2C), Cycle::Out(0x2F, 0x5A)},
                            kWinbondExit}));
  EXPECT_EQ(Chip(0x2E).Global(0x2C), 0x5A);
  ExpectAllChipsLocked();

  // Selecting a device is one write access; the base address is one bracket of two reads.
  ClearTrace();
  sio.SelectLogicalDevice(0x0B);
  EXPECT_EQ(sio.ReadBaseAddress(), 0x0290);
  EXPECT_EQ(Cycles(),
            Join({kWinbondEnter, {Cycle::Out(0x2E, 0x07), Cycle::Out(0x2F, 0x0B)}, kWinbondExit,
                  kWinbondEnter,
                  {Cycle::Out(0x2E, 0x60), Cycle::In(0x2F, 0x02), Cycle::Out(0x2E, 0x61),
                   Cycle::In(0x2F, 0x90)},
                  kWinbondExit}));
  EXPECT_EQ(Chip(0x2E).SelectedDevice(), 0x0B);
  ExpectAllChipsLocked();

  // The ID registers are read-only; a locked chip ignores its data port.
  sio.WriteConfigRegister(0x20, 0x00);
  EXPECT_EQ(sio.ReadConfigRegister(0x20), 0xA2);
  TReadWrite& rw = TReadWrite::Instance();
  rw.WriteIoByte(0x2E, 0x2C);
  rw.WriteIoByte(0x2F, 0x11);
  EXPECT_EQ(rw.ReadIoByte(0x2F), 0xFF);
  EXPECT_EQ(Chip(0x2E).Global(0x2C), 0x5A);
}

TEST_F(SioAccessTest, IteUnlockAtBothPorts) {
  // At 0x2E the unlock ends 0x55 0x55, at 0x4E 0x55 0xAA; the lock sets bit 1 of 0x02.
  for (const char* board : {"sio-I.json", "sio-I2.json"}) {
    SCOPED_TRACE(board);
    gavrelo::ResetProcessStateForTests();
    Load(board);
    TSioBase sio;
    ClearTrace();
    EXPECT_EQ(sio.ReadConfigRegister(0x20), 0x87);
    EXPECT_EQ(Cycles(), (Cycles_t{Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x01),
                                  Cycle::Out(0x2E, 0x55), Cycle::Out(0x2E, 0x55),
                                  Cycle::Out(0x2E, 0x20), Cycle::In(0x2F, 0x87),
                                  Cycle::Out(0x2E, 0x02), Cycle::Out(0x2F, 0x02)}));
    ExpectAllChipsLocked();
  }

  gavrelo::ResetProcessStateForTests();
  LoadChip({{"name", "IT8712F"}, {"port", "0x4E"}, {"keys", "ite"}, {"id", "87 12"},
            {"devices", {{"0x07", {{"registers", {{"0x30", "0x01"}}}}}}}});
  TSioBase sio;
  ASSERT_EQ(CurrentConfigPort, 0x4E);
  ClearTrace();
  sio.WriteConfigRegister(0x07, 0x07);
  EXPECT_EQ(Cycles(), (Cycles_t{Cycle::Out(0x4E, 0x87), Cycle::Out(0x4E, 0x01),
                                Cycle::Out(0x4E, 0x55), Cycle::Out(0x4E, 0xAA),
                                Cycle::Out(0x4E, 0x07), Cycle::Out(0x4F, 0x07),
                                Cycle::Out(0x4E, 0x02), Cycle::Out(0x4F, 0x02)}));
  EXPECT_EQ(sio.ReadConfigRegister(0x30), 0x01);
  ExpectAllChipsLocked();
}

TEST_F(SioAccessTest, SmscAndFinTekGroups) {
  Load("sio-S.json");
  {
    TSioBase sio;
    ClearTrace();
    EXPECT_EQ(sio.ReadConfigRegister(0x20), 0x60);
    EXPECT_EQ(Cycles(), (Cycles_t{Cycle::Out(0x2E, 0x55), Cycle::Out(0x2E, 0x20),
                                  Cycle::In(0x2F, 0x60), Cycle::Out(0x2E, 0xAA)}));
    ExpectAllChipsLocked();
  }
  gavrelo::ResetProcessStateForTests();
  Load("sio-F.json");
  TSioBase sio;
  ClearTrace();
  EXPECT_EQ(sio.ReadConfigRegister(0x23), 0x34);
  EXPECT_EQ(Cycles(), Join({kWinbondEnter, {Cycle::Out(0x2E, 0x23), Cycle::In(0x2F, 0x34)},
                            kWinbondExit}));
  ExpectAllChipsLocked();
}

TEST_F(SioAccessTest, BareSequencesWithoutKeys) {
  // Form E: the rows' unlock and lock scripts are empty; only the index/data cycles remain.
  Load("sio-E.json");
  {
    TSioBase sio;
    ClearTrace();
    EXPECT_EQ(sio.ReadConfigRegister(0x21), 0x12);
    sio.WriteConfigRegister(0x07, 0x11);
    EXPECT_EQ(Cycles(), (Cycles_t{Cycle::Out(0x2E, 0x21), Cycle::In(0x2F, 0x12),
                                  Cycle::Out(0x2E, 0x07), Cycle::Out(0x2F, 0x11)}));
  }
  // No chip detected: the empty entry's texts touch no port either.
  gavrelo::ResetProcessStateForTests();
  LoadJson(nlohmann::json::object());
  TSioBase sio;
  CurrentConfigPort = 0x2E;
  ClearTrace();
  EXPECT_EQ(sio.ReadConfigRegister(0x20), 0xFF);
  sio.WriteConfigRegister(0x07, 0x0B);
  EXPECT_EQ(Cycles(), (Cycles_t{Cycle::Out(0x2E, 0x20), Cycle::In(0x2F, 0xFF),
                                Cycle::Out(0x2E, 0x07), Cycle::Out(0x2F, 0x0B)}));
}

TEST_F(SioAccessTest, EntryScriptsFollowTheCurrentPort) {
  // Dual board: Entry is the 0x4E chip's row (both are of the Winbond group); setting the
  // port moves every cycle, keys included, to the other chip.
  Load("sio-dual.json");
  TSioBase sio;
  ASSERT_EQ(CurrentConfigPort, 0x4E);
  EXPECT_EQ(sio.ReadConfigRegister(0x20), 0xA0);
  CurrentConfigPort = 0x2E;
  ClearTrace();
  EXPECT_EQ(sio.ReadConfigRegister(0x20), 0xC3);
  EXPECT_EQ(Cycles(), Join({kWinbondEnter, {Cycle::Out(0x2E, 0x20), Cycle::In(0x2F, 0xC3)},
                            kWinbondExit}));
  ExpectAllChipsLocked();
}

}  // namespace
