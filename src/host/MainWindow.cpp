#include "host/MainWindow.h"

#ifndef _WIN32
// The Windows window and loop are in MainWindowWindows.cpp.

namespace host {

std::unique_ptr<TMainWindow> TMainWindow::Create(const std::wstring&, int, int,
                                                 std::function<void()> onClose) {
  auto window = std::unique_ptr<TMainWindow>(new TMainWindow());
  window->m_OnClose = std::move(onClose);
  return window;
}

TMainWindow::~TMainWindow() = default;

bool TMainWindow::Visible() const { return false; }

std::wstring TMainWindow::Caption() const { return L""; }

void RunMessageLoop() {}

void PostQuitRequest() {}

}  // namespace host

#endif
