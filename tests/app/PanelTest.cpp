// The manual panel's Apply and Refresh handlers on virtual boards: the logs, the NCT6776 step,
// the chipset objects of every click, the skipped items and the state selection.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainForm.h"
#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "host/Console.h"
#include "sim/SuperIoChip.h"
#include "sim/VirtualBoard.h"
#include "sio/SioBuilder.h"
#include "tests/app/RecordingServices.h"

namespace {

using Cycle = TPortCycle;
using Cycles_t = std::vector<Cycle>;

// The PADBAR lines every click logs: its TSkylakePCH reads them, here from an undecoded window.
const std::string kNoPadBars =
    "SKL_PID_GPIOCOM0 PADBAR ... [0xFFFFFFFF]\n"
    "SKL_PID_GPIOCOM1 PADBAR ... [0xFFFFFFFF]\n"
    "SKL_PID_GPIOCOM2 PADBAR ... [0xFFFFFFFF]\n"
    "SKL_PID_GPIOCOM3 PADBAR ... [0xFFFFFFFF]\n";
const std::string kMismatch = "[((UCHAR)(Mode & GPIO[Pin])) != GPIO[Pin]]\n";

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override {
    m_Form.reset();
    gavrelo::ResetProcessStateForTests();
  }

  // The form on `boardName`, with the Super I/O object built, and the trace cleared.
  TMainForm& Open(const std::string& boardName, const std::wstring& type) {
    TDebugConsole::Instance(true);
    m_Board = &TVirtualBoard::Install(
        TVirtualBoard::FromFile(std::string(GAVRELO_SOURCE_DIR) + "/boards/" + boardName));
    ::testing::internal::CaptureStdout();
    m_Form = TMainForm::CreateForPanel(TApplication::Instance(), m_Services);
    TSioBuilder::Instance().Build(0x2E);
    ::testing::internal::GetCapturedStdout();
    m_Form->m_Type = type;
    m_Board->Trace().Clear();
    return *m_Form;
  }
  std::string Click(bool apply) {
    ::testing::internal::CaptureStdout();
    if (apply) {
      m_Form->btnApplyClick(nullptr);
    } else {
      m_Form->btnRefreshClick(nullptr);
    }
    return ::testing::internal::GetCapturedStdout();
  }
  // Port cycles inside [first, last].
  Cycles_t CyclesIn(std::uint16_t first, std::uint16_t last) {
    Cycles_t cycles;
    for (const Cycle& c : m_Board->Trace().PortCycles())
      if (c.Port >= first && c.Port <= last) cycles.push_back(c);
    return cycles;
  }
  TSuperIoChip& Chip() { return *dynamic_cast<TSuperIoChip*>(m_Board->PortDeviceAt(0x2E)); }

  TRecordingServices m_Services{"/nonexistent/gavrelo"};
  TVirtualBoard* m_Board = nullptr;
  std::unique_ptr<TMainForm> m_Form;
};

TEST_F(PanelTest, EmptyPanelLogsRunsTheNct6776StepOnceAndPauses) {
  TMainForm& form = Open("ich10-nct6776f.json", L"SIO_GPIO");
  EXPECT_EQ(form.m_SettingRadios, nullptr);
  EXPECT_EQ(Chip().Global(0x24), 0x44);
  EXPECT_EQ(Click(true),
            "[----Button Apply Click----]\n" + kNoPadBars +
                "valueread_1 ... [68]\n"
                "valueread_1 ... [4]\n"
                "valueread_1 ... [4]\n"
                "[----Button Apply Click----]\n");
  EXPECT_EQ(Chip().Global(0x24), 0x04);  // bit 6 cleared, nothing else
  // Build reads the monitor's base again (device 0x0B, 0x60/0x61); then each access of the
  // step is bracketed by the chip's keys: index 0x24 read, written, read.
  EXPECT_EQ(CyclesIn(0x2E, 0x2F),
            (Cycles_t{Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x07),
                      Cycle::Out(0x2F, 0x0B), Cycle::Out(0x2E, 0xAA),
                      Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x60),
                      Cycle::In(0x2F, 0x02), Cycle::Out(0x2E, 0x61), Cycle::In(0x2F, 0x90),
                      Cycle::Out(0x2E, 0xAA),
                      Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x24),
                      Cycle::In(0x2F, 0x44), Cycle::Out(0x2E, 0xAA),
                      Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x24),
                      Cycle::Out(0x2F, 0x04), Cycle::Out(0x2E, 0xAA),
                      Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x87), Cycle::Out(0x2E, 0x24),
                      Cycle::In(0x2F, 0x04), Cycle::Out(0x2E, 0xAA)}));
  // Both chipset objects were made: the ICH read GPIOBASE, the PCH its four PADBARs.
  EXPECT_EQ(m_Board->Trace().OfKind(TTraceKind::PciRead).size(), 1u);
  EXPECT_EQ(m_Board->Trace().OfKind(TTraceKind::MemRead).size(), 4u);

  m_Services.Events.clear();
  EXPECT_EQ(Click(false),
            "[----refresh Apply Click----]\n" + kNoPadBars +
                "Siotype is  ... [513]\n"  // 0x201, the NCT6776F family
                "[----refresh Apply Click----]\n");
  EXPECT_EQ(m_Services.Events, (std::vector<std::string>{"Sleep 500"}));

  // Another owner kind: no NCT6776 step, no pin, but the objects, the logs and the pause.
  m_Board->Trace().Clear();
  form.m_Type = L"sio_gpio";
  EXPECT_EQ(Click(true), "[----Button Apply Click----]\n" + kNoPadBars + "[----Button Apply Click----]\n");
  EXPECT_TRUE(CyclesIn(0x2E, 0x2F).empty());
}

TEST_F(PanelTest, ApplySkipsPinsWithoutASelectedItem) {
  TMainForm& form = Open("ich10-nct6776f.json", L"ICH_GPIO");
  form.FillPanel({L"GPIO5", L"GPIO7", L"GPIO40", L"GPIO66"});
  ASSERT_NE(form.m_SettingRadios, nullptr);
  const TRadioGroup& group = (*form.m_SettingRadios)[2];
  EXPECT_EQ(group.Parent, L"SettingGroup");
  EXPECT_EQ(group.Caption, L"GPIO40");
  EXPECT_EQ(group.Items, (std::vector<std::wstring>{L"Low", L"High", L"Input"}));
  EXPECT_EQ((*form.m_StateRadios)[2].Parent, L"StateGroup");
  (*form.m_SettingRadios)[0].ItemIndex = 1;   // GPIO5=High
  (*form.m_SettingRadios)[1].ItemIndex = -1;  // skipped
  (*form.m_SettingRadios)[2].ItemIndex = 2;   // GPIO40=Input
  (*form.m_SettingRadios)[3].ItemIndex = 3;   // no such item: the bare name, refused
  Click(true);
  EXPECT_EQ(CyclesIn(0x500, 0x57F),
            (Cycles_t{Cycle::In(0x500, 0x1F00FFF7, 4), Cycle::Out(0x500, 0x1F00FFF7, 4),
                      Cycle::In(0x52C, 0x20, 4), Cycle::Out(0x52C, 0x00, 4),
                      Cycle::In(0x504, 0xFF00, 4), Cycle::Out(0x504, 0xFF00, 4),
                      Cycle::In(0x50C, 0x229, 4), Cycle::Out(0x50C, 0x229, 4),
                      Cycle::In(0x530, 0xFF, 4), Cycle::Out(0x530, 0x1FF, 4),
                      Cycle::In(0x534, 0xF0, 4), Cycle::Out(0x534, 0x1F0, 4)}));

  // Radio groups shorter than the pin list: the pins past them count as not selected.
  m_Board->Trace().Clear();
  form.m_PinNames.push_back(L"GPIO0");
  Click(true);
  EXPECT_EQ(CyclesIn(0x500, 0x57F).size(), 12u);
}

TEST_F(PanelTest, RefreshTriesAllFourStatesAndSelectsTheOneThatMatches) {
  TMainForm& form = Open("ich10-nct6776f.json", L"ICH_GPIO");
  form.FillPanel({L"GPIO9", L"GPIO40"});
  (*form.m_StateRadios)[1].ItemIndex = 1;  // a pin that matches nothing keeps its selection
  EXPECT_EQ(Click(false),
            "[----refresh Apply Click----]\n" + kNoPadBars +
                "Siotype is  ... [513]\n"
                "RefGP ... [GPIO9=Low]\n" + kMismatch +
                "RefGP ... [GPIO9=High]\n" + kMismatch +
                "RefGP ... [GPIO9=InputLow]\n" + kMismatch +
                "RefGP ... [GPIO9=InputHigh]\n"
                "gpnumber ... [0]\n"
                "gptype ... [3]\n"
                "RefGP ... [GPIO40=Low]\n" + kMismatch +
                "RefGP ... [GPIO40=High]\n" + kMismatch +
                "RefGP ... [GPIO40=InputLow]\n" + kMismatch +
                "RefGP ... [GPIO40=InputHigh]\n" + kMismatch +
                "[----refresh Apply Click----]\n");
  EXPECT_EQ((*form.m_StateRadios)[0].ItemIndex, 3);
  EXPECT_EQ((*form.m_StateRadios)[1].ItemIndex, 1);
  // Each check reads the whole block anew: 8 checks x 3 banks x 3 registers.
  EXPECT_EQ(CyclesIn(0x500, 0x57F).size(), 72u);
  EXPECT_EQ(m_Services.Events.back(), "Sleep 500");
}

TEST_F(PanelTest, SuperIoRefreshRunsTheNct6776StepAfterEveryCandidate) {
  TMainForm& form = Open("ich10-nct6776f.json", L"SIO_GPIO");
  form.FillPanel({L"GPIO12"});
  const std::string out = Click(false);
  std::size_t steps = 0;
  for (std::size_t at = out.find("valueread_1"); at != std::string::npos;
       at = out.find("valueread_1", at + 1))
    ++steps;
  EXPECT_EQ(steps, 4u * 3u);
  EXPECT_EQ(out.find("RefGP ... [GPIO12=Low]\n"), out.find("RefGP"));
  EXPECT_FALSE(Chip().Report()["left_unlocked"].get<bool>());

  // A chip without "NCT6776" in its name has no step.
  EXPECT_TRUE(TMainForm::HasNct6776Step(L"NCT6776F"));
  EXPECT_TRUE(TMainForm::HasNct6776Step(L"NCT6776D"));
  EXPECT_FALSE(TMainForm::HasNct6776Step(L"nct6776f"));
  EXPECT_FALSE(TMainForm::HasNct6776Step(L"Nct6776F"));
  EXPECT_FALSE(TMainForm::HasNct6776Step(L"W83627UHG"));
}

TEST_F(PanelTest, SkylakePadsAreAppliedAndRefreshedByTheirGroupNames) {
  TMainForm& form = Open("skylake-pch-z170-nct6791d.json", L"SKLPCH_GPIO");
  form.FillPanel({L"GPIOB12", L"GPIOD0"});
  (*form.m_SettingRadios)[0].ItemIndex = 1;
  (*form.m_SettingRadios)[1].ItemIndex = 0;
  Click(true);
  const auto writes = m_Board->Trace().OfKind(TTraceKind::MemWrite);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].Address, 0xFDAF0520u);
  EXPECT_EQ(writes[0].Value, 0x44000201u);
  EXPECT_EQ(writes[1].Address, 0xFDAE04C0u);
  EXPECT_EQ(writes[1].Value, 0x44000200u);
  Click(false);
  EXPECT_EQ((*form.m_StateRadios)[0].ItemIndex, 1);  // Output High
  EXPECT_EQ((*form.m_StateRadios)[1].ItemIndex, 0);  // Output Low
}

TEST_F(PanelTest, HandlersRunOnEveryBoardFileForEveryOwnerKind) {
  std::vector<std::string> boards;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(GAVRELO_SOURCE_DIR) + "/boards"))
    if (entry.path().extension() == ".json") boards.push_back(entry.path().filename().string());
  std::sort(boards.begin(), boards.end());
  ASSERT_GE(boards.size(), 3u);
  for (const std::string& board : boards) {
    for (const wchar_t* type : {L"SIO_GPIO", L"ICH_GPIO", L"SKLPCH_GPIO"}) {
      const std::string what = board + " " + host::WideToUtf8(type);
      SetUp();
      try {
        Open(board, type);
      } catch (const std::exception& error) {  // a board whose images are absent here
        ::testing::internal::GetCapturedStdout();
        std::cout << "skipped " << what << ": " << error.what() << "\n";
        continue;
      }
      m_Form->FillPanel({L"GPIO12", L"GPIOB12"});
      m_Services.Events.clear();
      const std::string apply = Click(true);
      const std::string refresh = Click(false);
      EXPECT_EQ(apply.rfind("[----Button Apply Click----]\n", 0), 0u) << what;
      EXPECT_NE(refresh.find("RefGP ... [GPIOB12=InputHigh]\n"), std::string::npos) << what;
      EXPECT_EQ(m_Services.Events, (std::vector<std::string>{"Sleep 500"})) << what;
      for (const auto& device : m_Board->PortDevices()) {
        if (auto* chip = dynamic_cast<TSuperIoChip*>(device.get())) {
          EXPECT_FALSE(chip->Report()["left_unlocked"].get<bool>()) << what << " " << chip->Name();
        }
      }
      TearDown();
    }
  }
}

}  // namespace
