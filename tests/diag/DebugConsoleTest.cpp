#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <cstdlib>

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"

namespace {

class DebugConsole : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }

  static void Capture() { ::testing::internal::CaptureStdout(); }
  static std::string Captured() { return ::testing::internal::GetCapturedStdout(); }
};

TEST_F(DebugConsole, LinesAreExactlyTheirText) {
  TDebugConsole& console = TDebugConsole::Instance(true);
  EXPECT_TRUE(console.Enabled());
  Capture();
  console.LogValue("Pin", "12", 14);
  console.LogValue(L"m_ModelName", L"GavreloDemo", 9);
  console.LogValue("", "x", 10);
  console.LogValue(L"TAcpiBase::BuildFACP", L"\u00FCber \u20AC", 12);  // wide text as UTF-8
  console.LogMessage("abc", 10, 0);
  console.LogMessage("", 7, 2);  // only 1 adds the time
  console.WriteLine("narrow");
  console.WriteLine(L"wide \u00E9");
  console.WriteLine(std::string_view("nul\0inside", 10));  // exactly the string's length
  console.LogValue(std::string_view("a\0b", 3), "", 9);
  using namespace std::string_literals;
  EXPECT_EQ(Captured(),
            "Pin ... [12]\n"
            "m_ModelName ... [GavreloDemo]\n"
            " ... [x]\n"
            "TAcpiBase::BuildFACP ... [\xC3\xBC"
            "ber \xE2\x82\xAC]\n"
            "[abc]\n"
            "[]\n"
            "narrow\n"
            "wide \xC3\xA9\n"
            "nul\0inside\n"
            "a\0b ... []\n"s);
}

TEST_F(DebugConsole, MessageWithTimeCarriesTheLocalTimeInItsFixedFormat) {
  EXPECT_EQ(TDebugConsole::FormatTime(2026, 1, 2, 3, 4, 5, 6), "2026-01-02 03:04:05.006");
  EXPECT_EQ(TDebugConsole::FormatTime(999, 12, 31, 23, 59, 59, 999), "999-12-31 23:59:59.999");
  TDebugConsole& console = TDebugConsole::Instance(true);
  Capture();
  console.LogMessage("abc", 10, 1);
  std::string line = Captured();
  // "[YYYY-MM-DD hh:mm:ss.mmm] [abc]\n": digits where the pattern has 9, the rest as is.
  const std::string pattern = "[9999-99-99 99:99:99.999] [abc]\n";
  ASSERT_EQ(line.size(), pattern.size()) << line;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '9') {
      EXPECT_TRUE(line[i] >= '0' && line[i] <= '9') << line;
    } else {
      EXPECT_EQ(line[i], pattern[i]) << line;
    }
  }
}

TEST_F(DebugConsole, OnlyTheFirstRequestDecidesAndADisabledConsoleWritesNothing) {
  TDebugConsole& console = TDebugConsole::Instance(false);
  TDebugConsole& again = TDebugConsole::Instance(true);
  EXPECT_EQ(&console, &again);
  EXPECT_FALSE(again.Enabled());
  Capture();
  console.LogValue("Pin", "12", 14);
  console.LogValue(L"Pin", L"12", 14);
  console.LogMessage("abc", 10, 1);
  console.WriteLine("x");
  console.WriteLine(L"x");
  EXPECT_EQ(console.SetColor(12), 7);
  console.Close();
  EXPECT_EQ(Captured(), "");
  // Enabled first: a later false request changes nothing either.
  gavrelo::ResetProcessStateForTests();
  TDebugConsole::Instance(true);
  EXPECT_TRUE(TDebugConsole::Instance(false).Enabled());
}

TEST_F(DebugConsole, SetColorReturnsThePreviousAttributeAndLinesEndInGrey) {
  TDebugConsole& console = TDebugConsole::Instance(true);
  Capture();
  EXPECT_EQ(console.SetColor(9), 7);
  EXPECT_EQ(console.SetColor(12), 9);
  EXPECT_EQ(console.SetColor(0), 7);  // 0 is no colour: answered with 7, nothing set
  EXPECT_EQ(console.SetColor(14), 12);
  console.LogValue("a", "b", 10);  // restores 7 after the coloured part
  EXPECT_EQ(console.SetColor(7), 7);
  console.SetColor(12);
  console.LogMessage("m", 9, 0);
  EXPECT_EQ(console.SetColor(7), 7);
  EXPECT_EQ(Captured(), "a ... [b]\n[m]\n");  // captured output has no colour codes
  // Closed: later calls are silent.
  console.Close();
  Capture();
  console.Close();
  EXPECT_EQ(Captured(), "");
}

#ifndef _WIN32
// On a terminal the colour attributes become ANSI colours around the coloured part (the
// Windows console shows them itself; the Wine console test reads them from a terminal).
TEST_F(DebugConsole, ColoursOnATerminal) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    GTEST_SKIP() << "no pseudo-terminal available";
  }
  int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios raw{};
  ::tcgetattr(slave, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(slave, TCSANOW, &raw);
  std::fflush(stdout);
  int saved = ::dup(STDOUT_FILENO);
  ::dup2(slave, STDOUT_FILENO);
  TDebugConsole& console = TDebugConsole::Instance(true);
  console.LogValue("Pin", "12", 14);
  console.LogMessage("abc", 10, 0);
  console.LogValue(L"v", L"1", 9);
  console.LogValue("r", "2", 12);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::close(slave);
  std::string out;
  char buffer[512];
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(master);
  EXPECT_EQ(out,
            "Pin ... [\x1b[1;33m12\x1b[0m]\n"
            "[\x1b[1;32mabc\x1b[0m]\n"
            "v ... [\x1b[1;34m1\x1b[0m]\n"
            "r ... [\x1b[1;31m2\x1b[0m]\n");
}
#endif

}  // namespace
