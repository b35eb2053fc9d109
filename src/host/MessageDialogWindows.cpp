// The message dialogs on Windows (MessageDialog.h).
#ifdef _WIN32

#include <windows.h>

#include "host/Console.h"
#include "host/MessageDialog.h"

namespace host {
namespace {

void Show(std::string_view text, UINT icon) {
  const std::wstring wide = Utf8ToWide(text);
  ::MessageBoxW(nullptr, wide.c_str(), L"Gavrelo", MB_OK | MB_TASKMODAL | icon);
}

}  // namespace

void ShowMessageDialog(std::string_view text) { Show(text, 0); }

void ShowErrorDialog(std::string_view text) { Show(text, MB_ICONERROR); }

}  // namespace host

#endif
