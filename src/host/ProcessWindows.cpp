// The process facilities on Windows (Process.h).
#ifdef _WIN32

#include <windows.h>
// The host's own names, not the ANSI/wide macros of <windows.h>.
#undef SetEnvironmentVariable
#undef GetEnvironmentVariable

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

#include "host/Process.h"

namespace host {

std::string ExecutablePath() {
  // GetModuleFileNameA fills the buffer and cuts the path when it is too small; the buffer
  // grows up to the longest path the system knows (32767 characters).
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    if (buffer.size() >= 32768) return "";
    buffer.resize(buffer.size() * 2);
  }
}

std::string CommandLine() {
  const char* line = ::GetCommandLineA();
  return line != nullptr ? line : "";
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void SleepMilliseconds(std::uint32_t milliseconds) {
  // INFINITE (0xFFFFFFFF) would never return: the longest finite wait is one less.
  ::Sleep(milliseconds == INFINITE ? INFINITE - 1 : milliseconds);
}

void UseBinaryStandardStreams() {
  std::fflush(stdout);
  std::fflush(stderr);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

bool SetProcessAffinity(std::uint64_t mask) {
  if (mask == 0 || static_cast<DWORD_PTR>(mask) != mask) return false;
  return ::SetProcessAffinityMask(::GetCurrentProcess(), static_cast<DWORD_PTR>(mask)) != FALSE;
}

// Through the run-time library, which updates its own copy of the environment (read by
// getenv) and the process's one (inherited by child processes) together.
void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  ::_putenv_s(name.c_str(), value.c_str());
}

std::string GetEnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}

}  // namespace host

#endif
