// The message loop of the hidden main form on a real window system (under Wine, its null
// display): the terminate request ends it whether it comes before the loop or while the
// loop waits, and the window is never shown.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/Application.h"
#include "diag/ProcessState.h"
#include "host/MainWindow.h"

namespace {

// Ends a loop that does not end by itself within 10 s (a quit message to the waiting
// thread), so a fault fails the test instead of hanging the suite.
class TWatchdog {
 public:
  TWatchdog() : m_Waiter(::GetCurrentThreadId()), m_Thread([this] { Watch(); }) {}
  ~TWatchdog() {
    {
      std::lock_guard<std::mutex> lock(m_Mutex);
      m_Done = true;
    }
    m_Wake.notify_all();
    m_Thread.join();
  }
  bool Fired() const { return m_Fired; }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    if (!m_Wake.wait_for(lock, std::chrono::seconds(10), [this] { return m_Done; })) {
      m_Fired = true;
      ::PostThreadMessageW(m_Waiter, WM_QUIT, 0, 0);
    }
  }
  DWORD m_Waiter;
  std::mutex m_Mutex;
  std::condition_variable m_Wake;
  bool m_Done = false;
  bool m_Fired = false;
  std::thread m_Thread;
};

bool g_TimerRan = false;

void CALLBACK TerminateOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  g_TimerRan = true;
  TApplication::Instance().Terminate();
}

class MessageLoop : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }
};

TEST_F(MessageLoop, EndsOnTheTerminateRequestMadeBeforeOrWhileItWaits) {
  TApplication& application = TApplication::Instance();
  {
    // As in the start-up flow: the request comes first, the loop ends at once.
    TWatchdog watchdog;
    application.Terminate();
    application.Run();
    EXPECT_FALSE(watchdog.Fired());
  }
  {
    // The first request was used up by the first loop: a new loop waits, dispatches the
    // timer's message and ends on the request the timer makes.
    g_TimerRan = false;
    TWatchdog watchdog;
    ASSERT_NE(::SetTimer(nullptr, 0, 50, TerminateOnTimer), 0u);
    application.Run();
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(g_TimerRan);
  }
}

TEST_F(MessageLoop, ClosingTheHiddenWindowFromAnotherThreadEndsTheLoop) {
  auto window = host::TMainWindow::Create(L"Gavrelo v2.0.5", 955, 408,
                                          [] { TApplication::Instance().Terminate(); });
  ASSERT_NE(window, nullptr);
  HWND hwnd = static_cast<HWND>(window->Handle());
  ASSERT_TRUE(::IsWindow(hwnd));
  EXPECT_FALSE(window->Visible());
  EXPECT_EQ(window->Caption(), L"Gavrelo v2.0.5");
  RECT client{};
  ASSERT_TRUE(::GetClientRect(hwnd, &client));
  EXPECT_EQ(client.right - client.left, 955);
  EXPECT_EQ(client.bottom - client.top, 408);

  TWatchdog watchdog;
  std::thread closer([hwnd] {
    ::Sleep(50);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
  });
  TApplication::Instance().Run();
  closer.join();
  EXPECT_FALSE(watchdog.Fired());
  EXPECT_TRUE(TApplication::Instance().Terminated());
  // Closing asked for the end; the window stays until the form goes, still hidden.
  EXPECT_TRUE(::IsWindow(hwnd));
  EXPECT_FALSE(window->Visible());
}

}  // namespace

#endif
