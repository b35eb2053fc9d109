#pragma once
// TApplication: the application object of the form framework, as the start-up flow uses
// it — title, "show the main form" and "main form on the task bar" settings, creating the
// main form, the message loop, terminating, and the exception dialog.
//
// On Windows the main form has a real window, created hidden and never shown, and Run is
// the thread's message loop; Terminate posts the quit request that ends it (host/MainWindow.h).
// A request made before Run (the flow's form constructor always makes one) ends the loop
// at once. Without a window system there is no window and the loop returns at once.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/MainWindow.h"

class TMainForm;
class TStartupServices;

class TApplication {
 public:
  static TApplication& Instance();
  virtual ~TApplication();

  std::wstring Title;
  bool ShowMainForm = true;
  bool MainFormOnTaskBar = false;

  void Initialize();
  // Creates the main form; its constructor runs the INI test. Exceptions of the
  // constructor propagate to the caller.
  TMainForm& CreateMainForm(TStartupServices& services);
  // The message loop: ends when termination was asked for (at once, here).
  void Run();
  // Asks the message loop to end (now, or at once when it starts).
  void Terminate();
  bool Terminated() const { return m_Terminated; }
  TMainForm* MainForm() const { return m_MainForm.get(); }
  // The main form's window (hidden); null before the form exists or where there is none.
  host::TMainWindow* MainWindow() const { return m_MainWindow.get(); }

  // The standard exception dialog: the exception's message in a message box.
  void ShowException(std::string_view message);

 private:
  TApplication();
  static void ResetInstance();

  bool m_Initialized = false;
  bool m_Terminated = false;
  std::unique_ptr<TMainForm> m_MainForm;
  std::unique_ptr<host::TMainWindow> m_MainWindow;
};

// The console request and the single-instance mutex, before anything else: "/DEBUG"
// anywhere in the upper-cased command line enables the debug console (the process's first
// request of it), then the mutex named after the executable's file name is taken. False
// when another running process already holds that name.
bool CheckSingleInstance(const std::string& commandLine, const std::string& executablePath);
bool CheckSingleInstance();

// The entry point's body: the single-instance check, the application settings, the main
// form and its INI test, the message loop, the exception dialog. Returns the exit code (0
// in every path that returns).
int RunGavrelo(TStartupServices& services, const std::string& commandLine);

// A command line that only asks for gavrelo's usage (--help, -h or /?) or its version
// (--version), as the one and only argument: the text to print. Anything else (nothing, or
// any other argument or combination) yields nothing and runs the tool as always, with
// /DEBUG the only argument it recognises. Answered before the console, the single-instance
// guard or any hardware access, so asking for help never drives a pin.
std::optional<std::string> InformationRequest(const std::vector<std::string>& arguments,
                                              const std::string& executablePath);
