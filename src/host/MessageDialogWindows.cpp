// The message dialogs on Windows (MessageDialog.h).
#ifdef _WIN32

#include <windows.h>

#include <cstdlib>
#include <string>

#include "host/Console.h"
#include "host/MessageDialog.h"

namespace host {
namespace {

// A run without anyone at the screen (a test suite, CI, a script under Wine) sets
// GAVRELO_DIALOGS=stderr: a modal message box would wait for a click that never comes.
// The text then goes to standard error as one line, exactly as on Linux.
bool DialogsToStandardError() {
  const char* where = std::getenv("GAVRELO_DIALOGS");
  return where != nullptr && std::string_view(where) == "stderr";
}

void Show(std::string_view text, UINT icon) {
  if (DialogsToStandardError()) {
    WriteConsoleA(StdErrHandle(), std::string(text) + "\n");
    return;
  }
  const std::wstring wide = Utf8ToWide(text);
  ::MessageBoxW(nullptr, wide.c_str(), L"Gavrelo", MB_OK | MB_TASKMODAL | icon);
}

}  // namespace

void ShowMessageDialog(std::string_view text) { Show(text, 0); }

void ShowErrorDialog(std::string_view text) { Show(text, MB_ICONERROR); }

}  // namespace host

#endif
