// Entry point of gavrelo: the start-up flow with the tool's own services. The only
// argument it recognises is /DEBUG (anywhere, any letter case).
#include "app/Application.h"
#include "app/StartupServices.h"
#include "host/Process.h"

int main() { return RunGavrelo(DefaultStartupServices(), host::CommandLine()); }
