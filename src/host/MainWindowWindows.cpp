// The main window and the message loop on Windows (MainWindow.h).
#ifdef _WIN32

#include <windows.h>

#include "host/MainWindow.h"

namespace host {

struct TMainWindowAccess {
  static void Close(TMainWindow& window) {
    if (window.m_OnClose) window.m_OnClose();
  }
};

namespace {

constexpr wchar_t kClassName[] = L"TMainForm";

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_CLOSE) {
    // Closing the main form ends the application; the window itself goes with the form.
    if (auto* window = reinterpret_cast<TMainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
      TMainWindowAccess::Close(*window);
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) != 0 ||
           ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

}  // namespace

std::unique_ptr<TMainWindow> TMainWindow::Create(const std::wstring& caption, int clientWidth,
                                                 int clientHeight, std::function<void()> onClose) {
  if (!RegisterWindowClass()) return nullptr;
  auto window = std::unique_ptr<TMainWindow>(new TMainWindow());
  window->m_OnClose = std::move(onClose);
  // The outer size that gives the form's client area. No WS_VISIBLE and no ShowWindow:
  // the window exists (it has a handle, receives messages, has its caption) but is never
  // shown, on a desktop or without one.
  constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
  RECT frame{0, 0, clientWidth, clientHeight};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_APPWINDOW);
  HWND hwnd = ::CreateWindowExW(WS_EX_APPWINDOW, kClassName, caption.c_str(), kStyle, 0, 0,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), window.get());
  if (hwnd == nullptr) return nullptr;
  window->m_Handle = hwnd;
  return window;
}

TMainWindow::~TMainWindow() {
  if (m_Handle != nullptr) ::DestroyWindow(static_cast<HWND>(m_Handle));
}

bool TMainWindow::Visible() const {
  return m_Handle != nullptr && ::IsWindowVisible(static_cast<HWND>(m_Handle));
}

std::wstring TMainWindow::Caption() const {
  if (m_Handle == nullptr) return L"";
  HWND hwnd = static_cast<HWND>(m_Handle);
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

void RunMessageLoop() {
  MSG message;
  // 0: the quit request; -1: the thread has no queue to read (nothing will ever arrive).
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void PostQuitRequest() { ::PostQuitMessage(0); }

}  // namespace host

#endif
