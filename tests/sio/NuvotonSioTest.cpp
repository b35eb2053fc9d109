// The generic Nuvoton object and the NCT6683D on the virtual board: the twelve watchdog
// operations register by register (with their log lines and the 256 answers), the NCT6683D's
// paged window access, port cycle by port cycle, and the classes the builder hands out for
// the Nuvoton demo boards.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/DebugConsole.h"
#include "sim/PagedRegisterWindow.h"
#include "sio/NCT6102DSio.h"
#include "sio/NCT6683DSio.h"
#include "sio/NCT6775Sio.h"
#include "sio/NCT6776Sio.h"
#include "sio/NCT6791DSio.h"
#include "sio/NuvotonSio.h"
#include "sio/SioBuilder.h"
#include "ConfigAccess.h"
#include "SioTestBoard.h"

namespace {

class NuvotonSioTest : public SioBoardTest {
 protected:
  // A chip with the watchdog devices 8 and 0x0D in the given state, the generic Nuvoton
  // object on it, the trace cleared and the console capturing.
  TNuvotonSio& Start(const nlohmann::json& ldn8, const nlohmann::json& ldn0d) {
    gavrelo::ResetProcessStateForTests();
    TDebugConsole::Instance(true);
    LoadChip({{"name", "NCT6683D"},
              {"port", "0x2E"},
              {"keys", "nuvoton"},
              {"id", "C7 32"},
              {"devices",
               {{"0x08", {{"registers", ldn8}}},
                {"0x0D", {{"registers", ldn0d}}},
                {"0x0B", {{"registers", {{"0x30", "0x01"}, {"0x60", "0x02"}, {"0x61", "0x90"}}}}}}}});
    m_Sio = std::make_unique<TNuvotonSio>(0x2E);
    ClearTrace();
    return *m_Sio;
  }

 private:
  std::unique_ptr<TNuvotonSio> m_Sio;
};

TEST_F(NuvotonSioTest, WatchdogOperationsRegisterByRegister) {
  struct TCase {
    const char* What;
    nlohmann::json Ldn8;
    nlohmann::json Ldn0D;
    int (*Run)(TNuvotonSio&);  // returns the operation's answer (0 for none)
    int Answer;
    TAccesses Expected;
    std::string Log;
  };
  const nlohmann::json off = {{"0x30", "0x00"}, {"0xF5", "0x05"}, {"0xF6", "0x20"}, {"0xF7", "0x13"},
                              {"0xF9", "0x44"}};
  const nlohmann::json on = {{"0x30", "0x01"}, {"0xF5", "0x03"}, {"0xF6", "0x20"}, {"0xF7", "0x13"},
                             {"0xF9", "0x44"}};
  const nlohmann::json mem = {{"0x30", "0x11"}, {"0xF6", "0x20"}, {"0xF9", "0x44"}};
  const nlohmann::json sw = {{"0xF0", "0x01"}, {"0xF9", "0x66"}};
  const std::vector<TCase> cases = {
      {"InitWDT enables LDN 8 and clears 0xF5", off, sw,
       [](TNuvotonSio& s) { s.InitWDT(); return 0; }, 0,
       {W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x01), R(0xF5, 0x05), W(0xF5, 0x00)}, ""},
      {"InitWDT on an enabled device with 0xF5 = 0 writes nothing",
       {{"0x30", "0x01"}, {"0xF5", "0x00"}}, sw, [](TNuvotonSio& s) { s.InitWDT(); return 0; }, 0,
       {W(0x07, 0x08), R(0x30, 0x01), R(0xF5, 0x00)}, ""},
      {"WatchDogEnable: status first, count, start bit, status with bit 4 cleared", off, sw,
       [](TNuvotonSio& s) { s.WatchDogEnable(10); return 0; }, 0,
       {W(0x07, 0x08), R(0xF7, 0x13), W(0xF6, 0x0A), R(0xF5, 0x05), W(0xF5, 0x07), W(0xF7, 0x03)}, ""},
      {"WatchDogRestart", off, sw, [](TNuvotonSio& s) { s.WatchDogRestart(); return 0; }, 0,
       {W(0x07, 0x08), R(0xF7, 0x13), R(0xF5, 0x05), W(0xF5, 0x07), W(0xF7, 0x03)}, ""},
      {"DisableWatchdog on an enabled device", on, sw,
       [](TNuvotonSio& s) { s.DisableWatchdog(); return 0; }, 0,
       {W(0x07, 0x08), R(0x30, 0x01), W(0xF6, 0x00), R(0xF5, 0x03), W(0xF5, 0x01)}, ""},
      {"DisableWatchdog on a disabled device only looks", off, sw,
       [](TNuvotonSio& s) { s.DisableWatchdog(); return 0; }, 0, {W(0x07, 0x08), R(0x30, 0x00)}, ""},
      {"WatchDogIsRunning, device off", off, sw,
       [](TNuvotonSio& s) { return int(s.WatchDogIsRunning()); }, 0, {W(0x07, 0x08), R(0x30, 0x00)}, ""},
      {"WatchDogIsRunning: 0xF7 and 0xF6 read, bit 1 of 0xF5 answers", on, sw,
       [](TNuvotonSio& s) { return int(s.WatchDogIsRunning()); }, 1,
       {W(0x07, 0x08), R(0x30, 0x01), R(0xF7, 0x13), R(0xF6, 0x20), R(0xF5, 0x03)}, ""},
      {"WatchDogCounter is 256 while the device is off, whatever 0xF6 holds", off, sw,
       [](TNuvotonSio& s) { return s.WatchDogCounter(); }, 256, {W(0x07, 0x08), R(0x30, 0x00)}, ""},
      {"WatchDogCounter", on, sw, [](TNuvotonSio& s) { return s.WatchDogCounter(); }, 0x20,
       {W(0x07, 0x08), R(0x30, 0x01), R(0xF6, 0x20)}, ""},
      {"InitWDTMEM sets bit 4 of 0x30", on, sw, [](TNuvotonSio& s) { s.InitWDTMEM(); return 0; }, 0,
       {W(0x07, 0x08), R(0x30, 0x01), W(0x30, 0x11)}, "[TNuvotonSio::InitWDTMEM]\n"},
      {"InitWDTMEM with bit 4 set writes nothing", mem, sw,
       [](TNuvotonSio& s) { s.InitWDTMEM(); return 0; }, 0, {W(0x07, 0x08), R(0x30, 0x11)},
       "[TNuvotonSio::InitWDTMEM]\n"},
      {"WatchDogMEMEnable: LDN 0x0D switch, then the count into LDN 8 0xF9", on, sw,
       [](TNuvotonSio& s) { s.WatchDogMEMEnable(5); return 0; }, 0,
       {W(0x07, 0x0D), R(0xF0, 0x01), W(0xF0, 0x11), W(0x07, 0x08), R(0xF9, 0x44), W(0xF9, 0x05),
        R(0x30, 0x01), W(0x30, 0x11)},
       "[TNuvotonSio::WatchDogMEMEnable]\n"},
      {"WatchDogMEMClear: the enable with count 0, without a log line", mem, sw,
       [](TNuvotonSio& s) { s.WatchDogMEMClear(); return 0; }, 0,
       {W(0x07, 0x0D), R(0xF0, 0x01), W(0xF0, 0x11), W(0x07, 0x08), R(0xF9, 0x44), W(0xF9, 0x00),
        R(0x30, 0x11)},
       ""},
      {"WatchDogMEMDisable clears bit 4", mem, sw,
       [](TNuvotonSio& s) { s.WatchDogMEMDisable(); return 0; }, 0,
       {W(0x07, 0x08), R(0x30, 0x11), W(0x30, 0x01)}, "[TNuvotonSio::WatchDogMEMDisable]\n"},
      {"WatchDogMEMDisable with bit 4 clear writes nothing", on, sw,
       [](TNuvotonSio& s) { s.WatchDogMEMDisable(); return 0; }, 0, {W(0x07, 0x08), R(0x30, 0x01)},
       "[TNuvotonSio::WatchDogMEMDisable]\n"},
      {"WatchDogMEMIsRunning", mem, sw, [](TNuvotonSio& s) { return int(s.WatchDogMEMIsRunning()); },
       1, {W(0x07, 0x08), R(0x30, 0x11)}, "[TNuvotonSio::WatchDogMEMIsRunning]\n"},
      {"WatchDogMEMCounter is 256 while bit 4 is clear", on, sw,
       [](TNuvotonSio& s) { return s.WatchDogMEMCounter(); }, 256, {W(0x07, 0x08), R(0x30, 0x01)},
       "[TNuvotonSio::WatchDogMEMCounter]\n"},
      {"WatchDogMEMCounter reads 0xF9 of LDN 0x0D", mem, sw,
       [](TNuvotonSio& s) { return s.WatchDogMEMCounter(); }, 0x66,
       {W(0x07, 0x08), R(0x30, 0x11), W(0x07, 0x0D), R(0xF9, 0x66)},
       "[TNuvotonSio::WatchDogMEMCounter]\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TNuvotonSio& sio = Start(c.Ldn8, c.Ldn0D);
    const TChipRegisters before = ChipRegisters(Chip(0x2E));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(c.Run(sio), c.Answer);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.Log);
    const TAccesses accesses = ConfigAccesses(Cycles());
    EXPECT_EQ(accesses, c.Expected);
    // Only the registers the accesses wrote changed.
    TChipRegisters expected = before;
    std::uint8_t ldn = 0x0B;
    for (const TConfigAccess& a : c.Expected) {
      if (!a.Write) continue;
      if (a.Reg == 0x07) ldn = a.Value;
      expected[a.Reg < 0x30 ? GlobalKey(a.Reg) : DeviceKey(ldn, a.Reg)] = a.Value;
    }
    EXPECT_EQ(ChipRegisters(Chip(0x2E)), expected);
    ExpectAllChipsLocked();
  }
}

TEST_F(NuvotonSioTest, NCT6683DPagedWindowAtTheMonitorBase) {
  Load("nct6683d-demo.json");
  TAbstractSio* sio = TSioBuilder::Instance().Build(0x2E);
  auto* nct = dynamic_cast<TNCT6683DSio*>(sio);
  ASSERT_NE(nct, nullptr);
  EXPECT_EQ(nct->HwmBase, 0x0290);
  EXPECT_EQ(nct->PinCount, 256);
  TIOBASEGpio& window = *nct;
  auto* device = dynamic_cast<TPagedRegisterWindow*>(Board().PortDeviceAt(0x290));
  ASSERT_NE(device, nullptr);

  ClearTrace();
  EXPECT_EQ(window.ReadIoBaseGpio(4, 0x10), 0xA5);
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{TPortCycle::Out(0x290, 0xFF), TPortCycle::Out(0x290, 0x04),
                                               TPortCycle::Out(0x291, 0x10), TPortCycle::In(0x292, 0xA5),
                                               TPortCycle::Out(0x290, 0xFF)}));
  ClearTrace();
  window.WriteIoBaseGpio(7, 0x22, 0x3C);
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{TPortCycle::Out(0x290, 0xFF), TPortCycle::Out(0x290, 0x07),
                                               TPortCycle::Out(0x291, 0x22), TPortCycle::Out(0x292, 0x3C),
                                               TPortCycle::Out(0x290, 0xFF)}));
  EXPECT_EQ(device->Register(7, 0x22), 0x3C);
  EXPECT_EQ(device->Register(4, 0x10), 0xA5);  // other pages untouched
  EXPECT_EQ(device->Page(), TPagedRegisterWindow::kClosed);
  EXPECT_EQ(window.ReadIoBaseGpio(7, 0x22), 0x3C);

  // A window closed by 0xFF reads all ones and ignores writes.
  Board().PortWrite(0x291, 1, 0x22);
  Board().PortWrite(0x292, 1, 0x99);
  std::uint32_t closed = 0;
  Board().PortRead(0x292, 1, closed);
  EXPECT_EQ(closed, 0xFFu);
  EXPECT_EQ(device->Register(7, 0x22), 0x3C);
  // Only the NCT6683D has such a window in a board file.
  const nlohmann::json other = nlohmann::json::parse(R"({"superio": {"chips": [{
      "name": "W83627DHG", "port": "0x2E", "keys": "winbond",
      "devices": {"0x0B": {"registers": {"0x60": "0x02", "0x61": "0x90"}}},
      "hwm": {"pages": {"4": {"0x10": "0x01"}}}}]}})");
  EXPECT_THROW(TVirtualBoard::FromJson(other), std::runtime_error);

  // The pin test's slots are the empty ones: no register is touched.
  ClearTrace();
  EXPECT_TRUE(sio->ApplyGPIOSetting(L"GPIO10=Low"));
  sio->ReadGPIO();
  sio->EnableGPIOGroup(8);
  EXPECT_TRUE(Cycles().empty());
}

TEST_F(NuvotonSioTest, BuilderHandsOutEachDemoBoardsModelClass) {
  struct TCase {
    const char* Board;
    bool (*IsClass)(TAbstractSio*);
    int PinCount;
    bool PinMap, GroupSwitch;
  };
  const std::vector<TCase> cases = {
      {"nct6775f-demo.json", [](TAbstractSio* s) { return dynamic_cast<TNCT6775Sio*>(s) != nullptr; }, 80, true, false},
      {"nct6776f-demo.json", [](TAbstractSio* s) { return dynamic_cast<TNCT6776Sio*>(s) != nullptr; }, 88, true, false},
      {"nct6791d-demo.json", [](TAbstractSio* s) { return dynamic_cast<TNCT6791DSio*>(s) != nullptr; }, 72, true, true},
      {"nct6102d-demo.json", [](TAbstractSio* s) { return dynamic_cast<TNCT6102DSio*>(s) != nullptr; }, 64, true, true},
      {"nct6683d-demo.json", [](TAbstractSio* s) { return dynamic_cast<TNCT6683DSio*>(s) != nullptr; }, 256, false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Board);
    gavrelo::ResetProcessStateForTests();
    Load(c.Board);
    TSioBuilder& builder = TSioBuilder::Instance();
    TAbstractSio* sio = builder.Build(0x2E);
    EXPECT_TRUE(c.IsClass(sio));
    EXPECT_NE(dynamic_cast<TNuvotonSio*>(sio), nullptr);
    EXPECT_EQ(sio->PinCount, c.PinCount);
    const TSioClass cls = TSioBuilder::ClassForFamily(builder.Detector->GetFamily(0x2E));
    EXPECT_EQ(TSioBuilder::HasPinMap(cls), c.PinMap);
    EXPECT_EQ(TSioBuilder::HasGroupSwitch(cls), c.GroupSwitch);
    EXPECT_EQ(sio->HwmBase, 0x0290);
    ExpectAllChipsLocked();
  }
}

}  // namespace
