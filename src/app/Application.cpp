#include "app/Application.h"

#include "app/Exceptions.h"
#include "app/FormatFileVersion.h"
#include "app/MainForm.h"
#include "app/StartupServices.h"
#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "diag/RunTrace.h"
#include "host/MessageDialog.h"
#include "host/NamedMutex.h"
#include "host/Console.h"
#include "host/Process.h"

namespace {
TApplication* g_application = nullptr;
}

TApplication& TApplication::Instance() {
  if (g_application == nullptr) {
    g_application = new TApplication();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TApplication::ResetInstance);
  }
  return *g_application;
}

void TApplication::ResetInstance() {
  delete g_application;
  g_application = nullptr;
}

TApplication::TApplication() = default;
TApplication::~TApplication() = default;

void TApplication::Initialize() { m_Initialized = true; }

TMainForm& TApplication::CreateMainForm(TStartupServices& services) {
  // The form is stored only once its constructor is done (as the framework does); while
  // it runs, its INI test may end the process.
  auto form = std::make_unique<TMainForm>(*this, services);
  if (!m_MainForm) {
    m_MainForm = std::move(form);
    // The form's window, hidden: ShowMainForm is false in the flow, and a shown main form
    // is nothing this tool has.
    const TFormComponent& resource = TMainForm::FormResource().front();
    m_MainWindow = host::TMainWindow::Create(m_MainForm->Caption, resource.Width,
                                             resource.Height, [this] { Terminate(); });
  }
  return *m_MainForm;
}

void TApplication::Run() {
  // A quit request made before (the form's constructor makes one) is already waiting and
  // ends the loop at once.
  host::RunMessageLoop();
}

void TApplication::Terminate() {
  m_Terminated = true;
  host::PostQuitRequest();
}

void TApplication::ShowException(std::string_view message) { host::ShowMessageDialog(message); }

bool CheckSingleInstance(const std::string& commandLine, const std::string& executablePath) {
  std::string upper = commandLine;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  // Anywhere, in any letter case, even inside a longer word.
  bool debug = upper.find("/DEBUG") != std::string::npos;
  // The first request of the console decides whether it is enabled — before the mutex
  // test, so a refused second copy started with /DEBUG still opens (and loses) its console.
  TDebugConsole::Instance(debug);
  const std::string name = host::FileNamePart(executablePath);
  const bool refused = host::AcquireNamedMutex(name) == host::TMutexResult::AlreadyExists;
  TRunTrace::Instance().Decision("single_instance", {{"name", name}, {"refused", refused}});
  return !refused;
}

bool CheckSingleInstance() {
  return CheckSingleInstance(host::CommandLine(), host::ExecutablePath());
}

int RunGavrelo(TStartupServices& services, const std::string& commandLine) {
  if (!CheckSingleInstance(commandLine, services.ExecutablePath())) return 0;
  TApplication& application = TApplication::Instance();
  try {
    application.ShowMainForm = false;
    application.Title = L"Gavrelo";
    application.Initialize();
    application.MainFormOnTaskBar = true;
    application.CreateMainForm(services);
    application.Run();
  } catch (const Exception& error) {
    TRunTrace::Instance().Decision("exception_dialog", {{"message", error.Message}});
    application.ShowException(error.Message);
  } catch (...) {
    // Anything that is not the framework's exception is shown with an empty message.
    TRunTrace::Instance().Decision("exception_dialog", {{"message", ""}});
    application.ShowException("");
  }
  return 0;
}

std::optional<std::string> InformationRequest(const std::vector<std::string>& arguments,
                                              const std::string& executablePath) {
  if (arguments.size() != 1) return std::nullopt;
  const std::string& argument = arguments[0];
  if (argument == "--version")
    return "gavrelo " + host::WideToUtf8(FormatFileVersion(executablePath)) + "\n";
  if (argument != "--help" && argument != "-h" && argument != "/?") return std::nullopt;
  return "Usage: gavrelo [/DEBUG]\n"
         "\n"
         "Finds the board model (the BIOS identity record), detects the Super I/O chip at\n"
         "port 0x2E and runs the pin test of the model's section in Gavrelo.INI beside the\n"
         "executable: TYPE=SIO_GPIO drives PIN low, waits Delay ms (default 100) and drives\n"
         "it high. Without a section for the model it ends at once. Exit code 0.\n"
         "\n"
         "  /DEBUG            trace every step on the console (any letter case, anywhere)\n"
         "  --help, -h, /?    this text, as the only argument (no hardware access)\n"
         "  --version         the file version, as the only argument\n"
         "\n"
         "GAVRELO_BOARD=FILE runs against a virtual board (boards/*.json).\n";
}
