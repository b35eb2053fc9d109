// The builder: one object per class, CurrentConfigPort and the hardware-monitor base on
// every Build, the generic object for ports without a family; and the classification.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "host/Console.h"
#include "sio/SioBuilder.h"
#include "sio/W83627Sio.h"
#include "sio/WinbondSio.h"
#include "SioTestBoard.h"

namespace {

using Cycle = TPortCycle;
using Cycles_t = std::vector<Cycle>;

class SioBuilderTest : public SioBoardTest {};

TEST_F(SioBuilderTest, BuildCachesByClassAndRereadsTheMonitorBase) {
  Load("sio-WM.json");
  TSioBuilder& builder = TSioBuilder::Instance();
  TAbstractSio* first = builder.Build(0x2E);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(dynamic_cast<TWinbondSio*>(first), nullptr);
  EXPECT_EQ(builder.Object(TSioClass::W83627UHG), first);
  EXPECT_EQ(first->HwmBase, 0x0290);
  EXPECT_EQ(first->HwmIndexPort, 0x0295);
  EXPECT_EQ(first->HwmDataPort, 0x0296);
  ExpectAllChipsLocked();

  ClearTrace();
  EXPECT_EQ(builder.Build(0x2E), first);
  // No new object (no detection pass): only InitHwmAddress again.
  EXPECT_EQ(Cycles(),
            (Cycles_t{Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x07),
                      Cycle::Out(0x2F, 0x0B), Cycle::Out(0x2E, 0xAA), Cycle::Out(0x2E, 0x87),
                      Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x60), Cycle::In(0x2F, 0x02),
                      Cycle::Out(0x2E, 0x61), Cycle::In(0x2F, 0x90), Cycle::Out(0x2E, 0xAA)}));
  ExpectAllChipsLocked();

  // Nothing at 0x4E: the generic object, and 0x4E becomes a key with family 0.
  TAbstractSio* none = builder.Build(0x4E);
  EXPECT_EQ(CurrentConfigPort, 0x4E);
  EXPECT_NE(none, first);
  EXPECT_EQ(builder.Object(TSioClass::WinbondSio), none);
  EXPECT_EQ(builder.Detector->GetFamily(0x4E), 0);
  EXPECT_EQ(builder.Detector->Families(),
            (std::map<std::uint16_t, std::uint16_t>{{0x2E, SIO_W83627UHG}, {0x4E, 0}}));
  EXPECT_EQ(none->HwmBase, 0xFFFF);  // nothing answers at 0x4E/0x4F
}

TEST_F(SioBuilderTest, TwoChipsEachObjectOnItsOwnPort) {
  Load("sio-dual.json");
  TSioBuilder& builder = TSioBuilder::Instance();
  EXPECT_EQ(CurrentConfigPort, 0x4E);  // the detector's last match

  // Constructing the 0x2E object runs its own detection pass, which ends at 0x4E; Build
  // still hands it out for 0x2E, with the 0x2E chip's monitor.
  TAbstractSio* nct = builder.Build(0x2E);
  EXPECT_EQ(CurrentConfigPort, 0x2E);
  EXPECT_EQ(nct->HwmBase, 0x0290);
  EXPECT_EQ(builder.Object(TSioClass::NCT6776Sio), nct);

  TAbstractSio* dhg = builder.Build(0x4E);
  EXPECT_NE(dhg, nct);
  EXPECT_EQ(builder.Object(TSioClass::W83627Sio), dhg);
  EXPECT_NE(dynamic_cast<TW83627Sio*>(dhg), nullptr);
  EXPECT_EQ(dhg->HwmBase, 0x0A30);
  EXPECT_EQ(builder.Build(0x2E), nct);
  EXPECT_EQ(nct->HwmBase, 0x0290);
  ExpectAllChipsLocked();
}

TEST_F(SioBuilderTest, ClassificationOfEveryRow) {
  const std::map<std::string, std::uint16_t> expected = {
      {"W83627DHG", SIO_W83627},      {"W83627EHF/EHG", SIO_W83627},
      // Only the rows whose register map TW83627Sio's tables fit (family tag "W627"): the
      // HF/F, SF and THF keep their GPIO ports elsewhere and stay generic.
      {"W83627HF/F", SIO_WINBOND},    {"W83627SF", SIO_WINBOND},
      {"W83627THF", SIO_WINBOND},     {"W83627UHG", SIO_W83627UHG},
      {"W83667HG", SIO_W83667},       {"W83667HG-A", SIO_W83667},
      {"W83637HF", SIO_WINBOND},      {"W83697HF/HG", SIO_WINBOND},
      {"W83697SF", SIO_WINBOND},      {"W83697UF/UG", SIO_WINBOND},
      {"W83977ATF", SIO_WINBOND},     {"W83977EF", SIO_WINBOND},
      {"W83L517D", SIO_WINBOND},      {"W83L517G", SIO_WINBOND},
      {"W83L518D", SIO_WINBOND},      {"W83L519D", SIO_WINBOND},
      {"NCT6776F", SIO_NCT6776F},     {"NCT6775F/NCT6771F", SIO_NCT6775F},
      {"NCT6791D", SIO_NCT6791D},     {"NCT6683D", SIO_NCT6683D},
      {"NCT6102D", SIO_NCT610X},      {"NCT6106D", SIO_NCT610X},
  };
  for (const auto& [key, row] : TSioConfig::Instance().Entries()) {
    const std::string name = host::WideToUtf8(key);
    const std::string vendor = host::WideToUtf8(row.Vendor);
    std::uint16_t want = 0;
    if (vendor == "ITE") want = SIO_ITE;
    else if (expected.count(name)) want = expected.at(name);
    EXPECT_EQ(ClassifySioRow(row), want) << name;
  }
  // Family code -> class slot, including the codes that fall back to the generic object.
  EXPECT_EQ(TSioBuilder::ClassForFamily(SIO_NONE), TSioClass::WinbondSio);
  EXPECT_EQ(TSioBuilder::ClassForFamily(SIO_ITE), TSioClass::WinbondSio);
  EXPECT_EQ(TSioBuilder::ClassForFamily(0x203), TSioClass::WinbondSio);
  EXPECT_EQ(TSioBuilder::ClassForFamily(SIO_NCT6775F), TSioClass::NCT6775Sio);
  EXPECT_EQ(TSioBuilder::ClassForFamily(SIO_NCT610X), TSioClass::NCT6102DSio);
  EXPECT_STREQ(TSioBuilder::SlotName(TSioClass::W83627UHG), "TW83627UHG");
  // The three Winbond model classes are built for their slots, with pin maps; only the UHG
  // has a group switch. The generic object has neither.
  for (TSioClass cls : {TSioClass::W83667Sio, TSioClass::W83627Sio, TSioClass::W83627UHG}) {
    EXPECT_STREQ(TSioBuilder::ClassName(cls), TSioBuilder::SlotName(cls));
    EXPECT_TRUE(TSioBuilder::HasPinMap(cls));
    EXPECT_EQ(TSioBuilder::HasGroupSwitch(cls), cls == TSioClass::W83627UHG);
  }
  EXPECT_FALSE(TSioBuilder::HasPinMap(TSioClass::WinbondSio));
  EXPECT_FALSE(TSioBuilder::HasGroupSwitch(TSioClass::WinbondSio));
}

}  // namespace
