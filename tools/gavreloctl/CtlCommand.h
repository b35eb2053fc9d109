#pragma once
// How gavreloctl's command files plug into its command line. Each Ctl*.cpp defines a
// function that adds its subcommands to the CLI11 application and registers it with a
// static TCtlCommandRegistrar; Main.cpp parses the global options (--board, --debug),
// applies them before any hardware object exists, and runs the chosen subcommand.
//
// Exit codes: 0 success, 1 the operation failed, 2 usage error.

#include <functional>
#include <iostream>
#include <stdexcept>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

// The --json output of every command (docs/gavreloctl.md, "JSON output"): one JSON object,
// indented by two, on standard output.
inline void CtlPrintJson(const nlohmann::json& document) { std::cout << document.dump(2) << "\n"; }

inline constexpr int kCtlSuccess = 0;
inline constexpr int kCtlFailed = 1;
inline constexpr int kCtlUsage = 2;

struct TCtlContext {
  // Set by a subcommand's callback; Main.cpp returns it.
  int ExitCode = kCtlSuccess;
};

// A command that could not do its job: Main.cpp prints "gavreloctl: " and the reason on
// standard error and exits with kCtlFailed.
struct TCtlFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Commands that touch the hardware call this before anything else does. It opens the access
// (the board file, or the Linux back end, and the access driver on it) and throws
// TCtlFailure with the reason when there is none — the board file's error naming the file
// and the field, the interfaces the back end could not open — so no command presents the
// all-ones values of an absent machine as data.
void CtlRequireHardwareAccess();

using TCtlRegisterFunction = void (*)(CLI::App& app, TCtlContext& context);

std::vector<TCtlRegisterFunction>& CtlCommandRegistry();

struct TCtlCommandRegistrar {
  explicit TCtlCommandRegistrar(TCtlRegisterFunction f) { CtlCommandRegistry().push_back(f); }
};
