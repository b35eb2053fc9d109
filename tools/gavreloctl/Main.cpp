// gavreloctl: the board test engineer's companion to gavrelo. Each Ctl*.cpp adds its
// subcommands through CtlCommand.h; this file owns the global options and the exit codes.
//
// Global options are applied while the command line is processed, before any subcommand
// runs and so before any hardware object exists:
//   --board FILE  the virtual board to run against (sets GAVRELO_BOARD for the process)
//   --debug       enables the debug console (its first request in the process), on standard
//                 error when the command was given --json
//   --version     prints the file version read from this executable
// Exit codes: 0 success, 1 the operation failed, 2 usage error.

#include <exception>
#include <iostream>
#include <string>

#include "app/FormatFileVersion.h"
#include "diag/DebugConsole.h"
#include "host/Console.h"
#include "host/Process.h"
#include "tools/gavreloctl/CtlCommand.h"

std::vector<TCtlRegisterFunction>& CtlCommandRegistry() {
  static auto* registry = new std::vector<TCtlRegisterFunction>();
  return *registry;
}

namespace {

// Whether a subcommand given on this command line was asked for --json.
bool JsonRequested(const CLI::App& app) {
  for (const CLI::App* sub : app.get_subcommands()) {
    const CLI::Option* json = sub->get_option_no_throw("--json");
    if ((json != nullptr && json->count() > 0) || JsonRequested(*sub)) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  host::UseBinaryStandardStreams();  // "\n" line ends on Windows too
  CLI::App app{"gavreloctl - inspect and drive what gavrelo sees on a board", "gavreloctl"};
  // Global options may also follow the subcommand ("gavreloctl gpio parse X --debug").
  app.fallthrough();
  // The same command line on both targets: "/path/file" is an argument on Windows too (the
  // parser's Windows convention would take it for an option named "path/file"). Set before
  // any subcommand exists, which copies it.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);

  std::wstring version = FormatFileVersion(host::ExecutablePath());
  app.set_version_flag("--version", "gavreloctl " + host::WideToUtf8(version),
                       "Print the file version of this executable and exit");
  app.add_option_function<std::string>(
         "--board",
         [](const std::string& file) { host::SetEnvironmentVariable("GAVRELO_BOARD", file); },
         "Run against the virtual board described by FILE (same as GAVRELO_BOARD=FILE)")
      ->type_name("FILE");
  // The console is requested once every option is known (before any subcommand runs), so
  // that with --json, which keeps standard output for the document, it writes to standard
  // error instead.
  bool debug = false;
  app.add_flag("--debug", debug,
               "Write the debug console trace to standard output (standard error with --json)");
  app.parse_complete_callback([&app, &debug] {
    if (!debug) return;
    TDebugConsole::Instance(true);
    if (JsonRequested(app)) TDebugConsole::Instance().UseStandardError();
  });

  TCtlContext context;
  for (TCtlRegisterFunction add : CtlCommandRegistry()) add(app, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int code = app.exit(error);  // prints help, version or the usage error
    return code == 0 ? kCtlSuccess : kCtlUsage;
  } catch (const std::exception& error) {
    std::cerr << "gavreloctl: " << error.what() << "\n";
    host::ExitProcess(kCtlFailed);
  }
  // Through host::ExitProcess, so the run trace of a virtual board gets its end event.
  host::ExitProcess(context.ExitCode);
}
