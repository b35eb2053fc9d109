// Boards with two chips whose unlock and lock scripts differ: every configuration access at a
// port runs the scripts of the row that matched at that port, the detection pass closes each
// matched port with its own lock script, and an object built for a port makes its own
// accesses there. Every ordered pair of the script groups (Winbond/Nuvoton, FinTek, SMSC, ITE
// forms I, I2 and E), with exact port sequences.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/Console.h"
#include "sio/SioBuilder.h"
#include "SioTestBoard.h"

namespace {

using Cycle = TPortCycle;
using Cycles_t = std::vector<Cycle>;

Cycles_t operator+(Cycles_t a, const Cycles_t& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The unlock sequence of a group's row at `port`; none for a port without a detected chip.
Cycles_t Enter(const TChipGroup* group, std::uint16_t port) {
  if (group == nullptr) return {};
  const std::string keys = group->Keys;
  if (keys == "nuvoton" || keys == "fintek") return {Cycle::Out(port, 0x87), Cycle::Out(port, 0x87)};
  if (keys == "smsc") return {Cycle::Out(port, 0x55)};
  if (keys == "ite")
    return {Cycle::Out(port, 0x87), Cycle::Out(port, 0x01), Cycle::Out(port, 0x55),
            Cycle::Out(port, port == 0x2E ? 0x55 : 0xAA)};
  return {};  // form E: always open
}

Cycles_t Exit(const TChipGroup* group, std::uint16_t port) {
  if (group == nullptr) return {};
  const std::string keys = group->Keys;
  if (keys == "ite") return {Cycle::Out(port, 0x02), Cycle::Out(port + 1, 0x02)};
  if (keys == "none") return {};
  return {Cycle::Out(port, 0xAA)};
}

// InitHwmAddress: select LDN 0x0B, then read its base from 0x60/0x61; each its own bracket.
Cycles_t InitHwm(const TChipGroup* group, std::uint16_t port, std::uint16_t base) {
  const auto data = static_cast<std::uint16_t>(port + 1);
  return Enter(group, port) + Cycles_t{Cycle::Out(port, 0x07), Cycle::Out(data, 0x0B)} +
         Exit(group, port) + Enter(group, port) +
         Cycles_t{Cycle::Out(port, 0x60), Cycle::In(data, base >> 8), Cycle::Out(port, 0x61),
                  Cycle::In(data, base & 0xFF)} +
         Exit(group, port);
}

std::uint8_t FirstIdByte(const TChipGroup& group) {
  return static_cast<std::uint8_t>(std::stoul(std::string(group.Id).substr(0, 2), nullptr, 16));
}

class SioTwoChipTest : public SioBoardTest {
 protected:
  // Global registers and the registers of LDN 0x0B of both chips.
  std::map<std::uint16_t, std::vector<std::uint8_t>> Registers() {
    std::map<std::uint16_t, std::vector<std::uint8_t>> all;
    for (std::uint16_t port : {0x2E, 0x4E}) {
      std::vector<std::uint8_t>& regs = all[port];
      for (unsigned reg = 0; reg < 0x30; ++reg) regs.push_back(Chip(port).Global(reg));
      for (unsigned reg = 0x30; reg < 0x100; ++reg) regs.push_back(Chip(port).Device(0x0B, reg));
    }
    return all;
  }
};

TEST_F(SioTwoChipTest, EachChipIsOpenedAndClosedWithItsOwnScripts) {
  for (const TChipGroup& at2E : ChipGroups()) {
    for (const TChipGroup& at4E : ChipGroups()) {
      SCOPED_TRACE(std::string(at2E.Group) + " at 0x2E, " + at4E.Group + " at 0x4E");
      gavrelo::ResetProcessStateForTests();
      LoadJson(TwoChipBoard(at2E, at4E));
      const std::map<std::uint16_t, const TChipGroup*> found = {
          {0x2E, &at2E}, {0x4E, at4E.FoundAt4E ? &at4E : nullptr}};

      TSioBuilder& builder = TSioBuilder::Instance();
      const TSioBase& detector = *builder.Detector;
      EXPECT_EQ(host::WideToUtf8(detector.EntryAt(0x2E).FullName), at2E.Row);
      EXPECT_EQ(host::WideToUtf8(detector.EntryAt(0x4E).FullName),
                at4E.FoundAt4E ? at4E.Row : "");
      // The pass ends with one lock sequence per matched port, each the port's own row's.
      const Cycles_t locks = Exit(found.at(0x2E), 0x2E) + Exit(found.at(0x4E), 0x4E);
      const Cycles_t pass = Cycles();
      ASSERT_GE(pass.size(), locks.size());
      EXPECT_EQ(Cycles_t(pass.end() - static_cast<long>(locks.size()), pass.end()), locks);
      ExpectAllChipsLocked();
      std::map<std::uint16_t, std::vector<std::uint8_t>> expected = Registers();

      for (std::uint16_t port : {0x2E, 0x4E}) {
        SCOPED_TRACE(port);
        const TChipGroup* group = found.at(port);
        const std::uint16_t base = group == nullptr ? 0xFFFF : port == 0x2E ? 0x0290 : 0x0A30;
        const TSioClass cls =
            TSioBuilder::ClassForFamily(builder.Detector->GetFamily(static_cast<std::uint8_t>(port)));
        const bool newObject = builder.Object(cls) == nullptr;
        ClearTrace();
        TAbstractSio* sio = builder.Build(static_cast<std::uint8_t>(port));
        EXPECT_EQ(CurrentConfigPort, port);
        EXPECT_EQ(sio->HwmBase, base);
        // A new object runs the same pass as the detector (ending with the same locks), then
        // its constructor's InitHwmAddress and Build's, both at the requested port.
        const Cycles_t hwm = InitHwm(group, port, base);
        EXPECT_EQ(Cycles(), newObject ? pass + hwm + hwm : hwm);
        EXPECT_EQ(host::WideToUtf8(sio->ChipEntry().FullName), group ? group->Row : "");

        ClearTrace();
        const std::uint8_t id = group == nullptr ? 0xFF : FirstIdByte(*group);
        EXPECT_EQ(sio->ReadConfigRegister(0x20), id);
        const Cycles_t read = {Cycle::Out(port, 0x20), Cycle::In(port + 1, id)};
        EXPECT_EQ(Cycles(), Enter(group, port) + read + Exit(group, port));
        ExpectAllChipsLocked();
        if (group != nullptr) expected[port][0x07] = 0x0B;  // the monitor's LDN selected
      }
      // Nothing but the selected logical device changed on either chip.
      EXPECT_EQ(Registers(), expected);
    }
  }
}

TEST_F(SioTwoChipTest, AnObjectBuiltForNoPortStaysAtTheLastMatch) {
  // Constructed directly (no requested port) the object keeps the pass's last match, and its
  // configuration accesses use that port's row.
  LoadJson(TwoChipBoard(ChipGroups()[3], ChipGroups()[0]));  // IT8712F, NCT6791D
  TSioBase sio;
  EXPECT_EQ(CurrentConfigPort, 0x4E);
  EXPECT_EQ(host::WideToUtf8(sio.ChipEntry().FullName), "NCT6791D");
  CurrentConfigPort = 0x2E;
  EXPECT_EQ(host::WideToUtf8(sio.ChipEntry().FullName), "IT8712F");
  CurrentConfigPort = 0x3E;  // no chip there: the empty entry, bare accesses
  EXPECT_TRUE(sio.ChipEntry().FullName.empty());
  ClearTrace();
  sio.WriteConfigRegister(0x07, 0x0B);
  EXPECT_EQ(Cycles(), (Cycles_t{Cycle::Out(0x3E, 0x07), Cycle::Out(0x3F, 0x0B)}));
}

}  // namespace
