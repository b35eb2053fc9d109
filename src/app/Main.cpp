// Entry point of gavrelo: the start-up flow with the tool's own services. The only
// argument it recognises is /DEBUG (anywhere, any letter case); --help, -h, /? or --version
// alone print the usage or the version and touch nothing else.
#include <cstdio>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/StartupServices.h"
#include "host/Process.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (auto text = InformationRequest(arguments, host::ExecutablePath())) {
    host::UseBinaryStandardStreams();  // "\n" line ends on Windows too, as gavreloctl's
    std::fputs(text->c_str(), stdout);
    return 0;
  }
  // Ends through host::ExitProcess, as the flow's early ends do, so every orderly end runs
  // the end-of-process hooks (the run trace's end event).
  host::ExitProcess(RunGavrelo(DefaultStartupServices(), host::CommandLine()));
}
