// gavreloctl: the board test engineer's companion to gavrelo. Each Ctl*.cpp adds its
// subcommands through CtlCommand.h; this file owns the global options and the exit codes.
//
// Global options are applied while the command line is processed, before any subcommand
// runs and so before any hardware object exists:
//   --board FILE  the virtual board to run against (sets GAVRELO_BOARD for the process)
//   --debug       enables the debug console (its first request in the process)
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

int main(int argc, char** argv) {
  CLI::App app{"gavreloctl - inspect and drive what gavrelo sees on a board", "gavreloctl"};
  // Global options may also follow the subcommand ("gavreloctl gpio parse X --debug").
  app.fallthrough();
  app.require_subcommand(1);

  std::wstring version = FormatFileVersion(host::ExecutablePath());
  app.set_version_flag("--version", "gavreloctl " + host::WideToUtf8(version),
                       "Print the file version of this executable and exit");
  app.add_option_function<std::string>(
         "--board",
         [](const std::string& file) { host::SetEnvironmentVariable("GAVRELO_BOARD", file); },
         "Run against the virtual board described by FILE (same as GAVRELO_BOARD=FILE)")
      ->type_name("FILE");
  app.add_flag_callback(
      "--debug", [] { TDebugConsole::Instance(true); },
      "Write the debug console trace to standard output");

  TCtlContext context;
  for (TCtlRegisterFunction add : CtlCommandRegistry()) add(app, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int code = app.exit(error);  // prints help, version or the usage error
    return code == 0 ? kCtlSuccess : kCtlUsage;
  } catch (const std::exception& error) {
    std::cerr << "gavreloctl: " << error.what() << "\n";
    return kCtlFailed;
  }
  std::cout.flush();
  return context.ExitCode;
}
