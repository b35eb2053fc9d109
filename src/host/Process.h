#pragma once
// Process facilities of the host: the executable's own path and command line, the file
// system checks the start-up flow needs, sleeping, the environment, and ending the process.
//
// On Windows these are GetModuleFileNameA, GetCommandLineA, Sleep and ExitProcess; on Linux
// /proc/self/exe, /proc/self/cmdline, nanosleep and exit.

#include <cstdint>
#include <string>
#include <string_view>

namespace host {

#ifdef _WIN32
// Windows takes both "\" and "/" between path components; paths it builds use "\".
inline constexpr char kPathSeparator = '\\';
inline constexpr const char* kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kPathSeparators = "/";
#endif

// Absolute path of the running executable ("" when the system cannot tell).
std::string ExecutablePath();

// The whole command line as the process received it, program path included, its arguments
// separated by single blanks.
std::string CommandLine();

// File-name part of a path (the text after the last separator).
std::string FileNamePart(std::string_view path);
// Directory part of a path, with its trailing separator ("" when there is none).
std::string DirectoryPart(std::string_view path);

// True when `path` names an existing regular file (or a link to one).
bool FileExists(const std::string& path);

// Blocks the calling thread for `milliseconds` (restarted after signal interruptions).
void SleepMilliseconds(std::uint32_t milliseconds);

// Standard output and error take the bytes as written: no line-end translation ("\n"
// stays one byte on Windows too), so a tool's output is the same on both systems. A
// no-op on Linux.
void UseBinaryStandardStreams();

// Restricts the process to the processors of `mask` (bit n = logical processor n):
// SetProcessAffinityMask on Windows, sched_setaffinity on Linux. False when refused.
bool SetProcessAffinity(std::uint64_t mask);

// Sets (or replaces) a variable of the process environment.
void SetEnvironmentVariable(const std::string& name, const std::string& value);
// Reads a variable of the process environment; "" when unset.
std::string GetEnvironmentVariable(const std::string& name);

// Ends the process at once with `code`, after running the end-of-process hooks and flushing
// every output stream, so that what the debug log and the message dialog wrote is never lost.
// Both executables end through it, also when main returns, so a hook sees every orderly end.
[[noreturn]] void ExitProcess(int code);

// A function ExitProcess runs with the exit code before the process ends (each once, newest
// first). Used to close the run's trace with its exit code.
using TExitHook = void (*)(int code);
void AddExitHook(TExitHook hook);

// The process's identifier (in the run's trace, to tell two copies' events apart).
long ProcessId();

}  // namespace host
