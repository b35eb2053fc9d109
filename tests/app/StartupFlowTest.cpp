// The start-up flow in-process, with the recording double in place of the tool's
// singletons and pin owner.

#include <gtest/gtest.h>

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/Application.h"
#include "app/MainForm.h"
#include "diag/ProcessState.h"
#include "host/Process.h"
#include "tests/app/RecordingServices.h"
#include "tests/support/TempDir.h"

namespace {

using Events = std::vector<std::string>;

const Events kRequests = {"ModelConfiguration", "ModelName", "ReadWrite", "BuildSuperIo 0x2E"};

Events Concat(Events a, const Events& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class StartupFlow : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }

  // A process whose executable sits in the temporary directory. Every call names a new
  // executable file, so each run takes a single-instance mutex of its own.
  TRecordingServices Services(const std::wstring& model = L"GavreloDemo") {
    std::string name = m_Dir.Path().filename().string() + "-" + std::to_string(++m_Runs);
    return TRecordingServices(m_Dir.File(name), model);
  }
  // The same executable file as the last call of Services().
  TRecordingServices SameExecutable() {
    return TRecordingServices(
        m_Dir.File(m_Dir.Path().filename().string() + "-" + std::to_string(m_Runs)));
  }
  void WriteIni(const std::string& text) { m_Dir.Write("Gavrelo.INI", text); }

  // Runs the entry point; returns its exit code and fills the captured streams.
  int Run(TRecordingServices& services, const std::string& commandLine = "gavrelo") {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int code = RunGavrelo(services, commandLine);
    m_Stdout = ::testing::internal::GetCapturedStdout();
    m_Stderr = ::testing::internal::GetCapturedStderr();
    return code;
  }

  TTempDir m_Dir;
  int m_Runs = 0;
  std::string m_Stdout;
  std::string m_Stderr;
};

TEST_F(StartupFlow, PinTestDrivesLowPausesTheDefaultDelayThenHighAfterTheRequestsInOrder) {
  WriteIni("[gavrelodemo]\r\nTYPE=SIO_GPIO\r\nPIN=GPIO12\r\n");
  auto services = Services();
  EXPECT_EQ(Run(services), 0);
  EXPECT_EQ(services.Events, Concat(kRequests, {"BuildSuperIo 0x2E", "WriteGPIO 10 0x81",
                                                "Sleep 100", "WriteGPIO 10 0x82"}));
  TApplication& app = TApplication::Instance();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(app.Title, L"Gavrelo");
  EXPECT_FALSE(app.ShowMainForm);
  EXPECT_TRUE(app.MainFormOnTaskBar);
  ASSERT_NE(app.MainForm(), nullptr);
  TMainForm& form = *app.MainForm();
  EXPECT_EQ(form.m_Type, L"SIO_GPIO");
  EXPECT_EQ(form.m_ModelName, L"GavreloDemo");
  EXPECT_EQ(form.m_ExeDir, m_Dir.Path().string() + host::kPathSeparator);
  EXPECT_EQ(form.m_SettingRadios, nullptr);
  EXPECT_TRUE(form.m_PinNames.empty());
  // The executable of this double has no version record: the caption is the bare prefix.
  EXPECT_EQ(form.Caption, L"Gavrelo v");
  // Without /DEBUG nothing is written anywhere.
  EXPECT_EQ(m_Stdout, "");
  EXPECT_EQ(m_Stderr, "");
}

TEST_F(StartupFlow, MissingIniSectionOrKeysEndTheProcessWithoutTouchingAPin) {
  const Events ended = Concat(kRequests, {"EndProcess 0"});
  {
    auto services = Services();  // no Gavrelo.INI at all
    EXPECT_EQ(Run(services), 0);
    EXPECT_EQ(services.Events, ended);
  }
  gavrelo::ResetProcessStateForTests();
  {
    WriteIni("[OtherBoard]\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
    auto services = Services();
    EXPECT_EQ(Run(services), 0);
    EXPECT_EQ(services.Events, ended);
  }
  gavrelo::ResetProcessStateForTests();
  {
    // Present but without keys counts as absent.
    WriteIni("[GavreloDemo]\n; TYPE=SIO_GPIO\n\n[Next]\nTYPE=SIO_GPIO\n");
    auto services = Services();
    EXPECT_EQ(Run(services), 0);
    EXPECT_EQ(services.Events, ended);
  }
  gavrelo::ResetProcessStateForTests();
  {
    // An unknown model (the empty name) never matches a real section.
    WriteIni("[GavreloDemo]\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
    auto services = Services(L"");
    EXPECT_EQ(Run(services), 0);
    EXPECT_EQ(services.Events, ended);
  }
  EXPECT_EQ(m_Stdout, "");
  EXPECT_EQ(m_Stderr, "");
}

TEST_F(StartupFlow, OnlyTheExactTypeSioGpioRunsATest) {
  for (const char* type : {"sio_gpio", "ICH_GPIO", "SIO_GPIO ;x", ""}) {
    gavrelo::ResetProcessStateForTests();
    WriteIni(std::string("[GavreloDemo]\nPIN=GPIO12\nTYPE=") + type + "\n");
    auto services = Services();
    EXPECT_EQ(Run(services), 0) << type;
    EXPECT_EQ(services.Events, kRequests) << type;
    EXPECT_TRUE(TApplication::Instance().Terminated()) << type;
  }
}

TEST_F(StartupFlow, DelayThatIsNoIntegerLeavesThePinLowAndShowsTheConversionMessage) {
  for (auto [delay, shown] : {std::pair{"abc", "'abc' is not a valid integer value\n"},
                              std::pair{"", "'' is not a valid integer value\n"},
                              std::pair{"\"12 \"", "'12 ' is not a valid integer value\n"}}) {
    gavrelo::ResetProcessStateForTests();
    WriteIni(std::string("[GavreloDemo]\nDelay=") + delay + "\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
    auto services = Services();
    EXPECT_EQ(Run(services), 0);
    EXPECT_EQ(services.Events, Concat(kRequests, {"BuildSuperIo 0x2E", "WriteGPIO 10 0x81"}))
        << delay;
    EXPECT_EQ(m_Stderr, shown);
    EXPECT_EQ(m_Stdout, "");
  }
}

TEST_F(StartupFlow, DelayConversionAndNegativeDelays) {
  for (auto [delay, slept] : {std::pair{"250", "Sleep 250"}, std::pair{"  $1F", "Sleep 31"},
                              std::pair{"0x10", "Sleep 16"}, std::pair{"-5", "Sleep 0"},
                              std::pair{"$FFFFFFFF", "Sleep 0"}}) {
    gavrelo::ResetProcessStateForTests();
    WriteIni(std::string("[GavreloDemo]\nDelay=") + delay + "\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
    auto services = Services();
    EXPECT_EQ(Run(services), 0);
    EXPECT_EQ(services.Events, Concat(kRequests, {"BuildSuperIo 0x2E", "WriteGPIO 10 0x81", slept,
                                                  "WriteGPIO 10 0x82"}))
        << delay;
  }
}

TEST_F(StartupFlow, InvalidPinWritesNothingButStillPauses) {
  WriteIni("[GavreloDemo]\nDelay=7\nTYPE=SIO_GPIO\nPIN=GPIOX\n");
  auto services = Services();
  EXPECT_EQ(Run(services), 0);
  EXPECT_EQ(services.Events, Concat(kRequests, {"BuildSuperIo 0x2E", "Sleep 7"}));
}

TEST_F(StartupFlow, DebugAnywhereInTheCommandLineOpensTheConsoleWithTheModelName) {
  WriteIni("[GavreloDemo]\nTYPE=none\n");
  for (const char* commandLine :
       {"/opt/Bin/gavrelo /DEBUG", "gavrelo /debug", "gavrelo x/Debugger"}) {
    gavrelo::ResetProcessStateForTests();
    auto services = Services();
    EXPECT_EQ(Run(services, commandLine), 0);
    EXPECT_EQ(m_Stdout, "m_ModelName ... [GavreloDemo]\n") << commandLine;
  }
  gavrelo::ResetProcessStateForTests();
  auto services = Services();
  EXPECT_EQ(Run(services, "gavrelo /DEBU G -debug"), 0);
  EXPECT_EQ(m_Stdout, "");
}

TEST_F(StartupFlow, SecondInstanceOfTheSameExecutableNameStopsBeforeAnyRequest) {
  WriteIni("[GavreloDemo]\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
  auto first = Services();
  EXPECT_EQ(Run(first), 0);
  EXPECT_FALSE(first.Events.empty());
  gavrelo::ResetProcessStateForTests();
  // The name stays held for the rest of this process, as for a still-running first copy.
  auto second = SameExecutable();
  EXPECT_EQ(Run(second, "gavrelo /DEBUG"), 0);
  EXPECT_TRUE(second.Events.empty());
  EXPECT_EQ(TApplication::Instance().MainForm(), nullptr);
  EXPECT_EQ(m_Stdout, "");
  // Another executable name is another mutex.
  EXPECT_TRUE(CheckSingleInstance("x", m_Dir.File("other-name")));
  EXPECT_FALSE(CheckSingleInstance("x", "/elsewhere/other-name"));
}

TEST_F(StartupFlow, CaptionCarriesTheFileVersionOfTheExecutableFile) {
  // The double's executable is a copy of the tool, which carries version 2.0.5.0.
  auto services = Services();
  std::filesystem::copy_file(std::string(GAVRELO_BIN_DIR) + "/gavrelo", services.Path);
  EXPECT_EQ(Run(services), 0);
  ASSERT_NE(TApplication::Instance().MainForm(), nullptr);
  EXPECT_EQ(TApplication::Instance().MainForm()->Caption, L"Gavrelo v2.0.5");
  // The form's window exists with that caption and was never shown; the message loop
  // ended on the form's own terminate request (Run returned).
  host::TMainWindow* window = TApplication::Instance().MainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->Visible());
#ifdef _WIN32
  ASSERT_NE(window->Handle(), nullptr);
  EXPECT_TRUE(::IsWindow(static_cast<HWND>(window->Handle())));
  EXPECT_EQ(window->Caption(), L"Gavrelo v2.0.5");
#endif
}

TEST(MainFormResource, ComponentTableOfTheHiddenForm) {
  const auto& table = TMainForm::FormResource();
  ASSERT_EQ(table.size(), 6u);
  auto find = [&table](const wchar_t* name) -> const TFormComponent& {
    for (const auto& c : table)
      if (c.Name == name) return c;
    ADD_FAILURE() << "no component";
    return table.front();
  };
  const auto& apply = find(L"btnApply");
  EXPECT_EQ(apply.Parent, L"SettingGroup");
  EXPECT_EQ(apply.Caption, L"Apply");
  EXPECT_EQ((std::vector<int>{apply.Left, apply.Top, apply.Width, apply.Height}),
            (std::vector<int>{456, 136, 75, 25}));
  EXPECT_EQ(apply.OnClick, L"btnApplyClick");
  const auto& refresh = find(L"btnRefresh");
  EXPECT_EQ(refresh.Parent, L"StateGroup");
  EXPECT_EQ(refresh.OnClick, L"btnRefreshClick");
  EXPECT_EQ((std::vector<int>{refresh.Left, refresh.Top}), (std::vector<int>{456, 160}));
  const auto& state = find(L"StateGroup");
  EXPECT_EQ(state.Caption, L"CurrentState");
  EXPECT_EQ((std::vector<int>{state.Left, state.Top, state.Width, state.Height}),
            (std::vector<int>{15, 191, 930, 202}));
  EXPECT_EQ(find(L"SettingGroup").Parent, L"SettingPanel");
  EXPECT_EQ(find(L"SettingPanel").Parent, L"MainForm");
  EXPECT_EQ(find(L"MainForm").Width, 955);
  EXPECT_EQ(find(L"MainForm").Height, 408);
  EXPECT_EQ(TMainForm::FormFont().Name, L"Tahoma");
  EXPECT_EQ(TMainForm::FormFont().Height, -11);
}

}  // namespace
