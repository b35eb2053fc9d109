#pragma once
// The application's main window and the message loop of the user-interface thread.
//
// On Windows the hidden main form is a real top-level window that is created hidden and
// never shown, and the message loop is GetMessage/DispatchMessage until the thread's quit
// request (PostQuitMessage). A quit requested before the loop starts is already waiting in
// the thread's queue, so the loop then ends at once. Closing the window (WM_CLOSE) asks
// for termination as closing a main form does.
//
// Linux has no window system: no window is created and the loop has nothing to wait for,
// so it returns at once (the start-up flow has always asked for termination by then).

#include <functional>
#include <memory>
#include <string>

namespace host {

class TMainWindow {
 public:
  // A hidden window with `caption` and the given client size; `onClose` runs when the
  // window is asked to close. Null when the window cannot be created.
  static std::unique_ptr<TMainWindow> Create(const std::wstring& caption, int clientWidth,
                                             int clientHeight, std::function<void()> onClose);
  ~TMainWindow();
  TMainWindow(const TMainWindow&) = delete;
  TMainWindow& operator=(const TMainWindow&) = delete;

  // The window (HWND); null where there is no window system.
  void* Handle() const { return m_Handle; }
  bool Visible() const;
  std::wstring Caption() const;

 private:
  TMainWindow() = default;
  void* m_Handle = nullptr;
  std::function<void()> m_OnClose;
  friend struct TMainWindowAccess;
};

// The message loop of the calling thread, until its quit request.
void RunMessageLoop();
// The quit request of the calling thread's loop (PostQuitMessage(0)).
void PostQuitRequest();

}  // namespace host
