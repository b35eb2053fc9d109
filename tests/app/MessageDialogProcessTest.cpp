// The tool's dialogs on Windows when nobody is at the screen: with GAVRELO_DIALOGS=stderr
// (which the end-to-end matrix sets for the processes it starts from Linux) the text goes to
// standard error and no message box opens; without it the real message box opens and waits
// for its OK, which only a watcher such as this test's process support gives.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <string>

#include "tests/support/StagedTool.h"

namespace {

TEST(MessageDialogProcess, TheExceptionDialogIsAMessageBoxOnlyWhenRunsMayShowOne) {
  const std::string text = "'abc' is not a valid integer value\n";
  const struct {
    const char* Setting;
    bool MessageBox;
  } cases[] = {{"stderr", false}, {"", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("GAVRELO_DIALOGS=") + c.Setting);
    TStagedExecutable tool(std::string(GAVRELO_BIN_DIR) + "/gavrelo.exe", "dialog");
    tool.WriteIni("[GavreloDemo]\nDelay=abc\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
    const TProcessResult result = tool.Run(
        {}, {{"GAVRELO_BOARD", std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json"}, {"GAVRELO_DIALOGS", c.Setting}});
    EXPECT_FALSE(result.TimedOut);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Stderr, text);
    EXPECT_EQ(result.Dialogs, c.MessageBox ? text : "");
  }
}

}  // namespace

#endif
