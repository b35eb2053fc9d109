// Message boxes of a Windows test executable (tests under Wine): a thread reads each one
// the test's own code shows, writes its text to standard error as one line (where the
// Linux build writes its dialogs) and closes it with OK, so an in-process test of a
// dialog sees its text and never blocks. Linked into every test executable of the Windows
// configuration with the test main (cmake/WindowsBuild.cmake).
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <string>
#include <thread>

namespace {

BOOL CALLBACK DismissOne(HWND window, LPARAM seen) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  char className[64] = {};
  ::GetClassNameA(window, className, sizeof className);
  auto& dismissed = *reinterpret_cast<std::set<HWND>*>(seen);
  if (pid != ::GetCurrentProcessId() || std::string(className) != "#32770") return TRUE;
  // The text is read once; OK is sent again at every pass until the box is gone.
  if (dismissed.count(window) == 0) {
    wchar_t text[4096] = {};
    if (::GetDlgItemTextW(window, 0xFFFF, text, 4096) == 0) return TRUE;  // not filled in yet
    dismissed.insert(window);
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    std::fputs((utf8 + "\n").c_str(), stderr);
    std::fflush(stderr);
  }
  ::PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// Runs while the tests run (a global test environment): listing the tests
// (--gtest_list_tests, test discovery) starts no thread and connects to no desktop.
class TDialogWatch : public ::testing::Environment {
 public:
  void SetUp() override {
    m_Thread = std::thread([this] {
      std::set<HWND> dismissed;
      while (!m_Stop) {
        ::EnumWindows(&DismissOne, reinterpret_cast<LPARAM>(&dismissed));
        ::Sleep(20);
      }
    });
  }
  // The thread ends before the process does: a thread still inside the window manager
  // when the process exits can hold its exit up.
  void TearDown() override {
    m_Stop = true;
    if (m_Thread.joinable()) m_Thread.join();
  }

 private:
  std::atomic<bool> m_Stop{false};
  std::thread m_Thread;
};

}  // namespace

extern "C" {
// Referenced by the link options of the test main, so the linker keeps this file.
int GavreloTestDialogWatch = (::testing::AddGlobalTestEnvironment(new TDialogWatch), 1);
}

#endif
