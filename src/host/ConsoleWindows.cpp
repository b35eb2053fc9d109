// The process console on Windows (Console.h).
#ifdef _WIN32

#include <windows.h>

#include "host/Console.h"

namespace host {
namespace {

// StdOutHandle() hands out the standard-output selector itself (STD_OUTPUT_HANDLE): each
// write goes to whatever standard output is at that moment, as file descriptor 1 does on
// Linux, so a later redirection (SetStdHandle, the run-time library's _dup2) is followed.
// StdErrHandle() likewise.
constexpr ConsoleHandle kStdOutput = static_cast<ConsoleHandle>(static_cast<std::int32_t>(STD_OUTPUT_HANDLE));
constexpr ConsoleHandle kStdError = static_cast<ConsoleHandle>(static_cast<std::int32_t>(STD_ERROR_HANDLE));

HANDLE AsHandle(ConsoleHandle handle) {
  if (handle == kStdOutput) return ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle == kStdError) return ::GetStdHandle(STD_ERROR_HANDLE);
  return reinterpret_cast<HANDLE>(handle);
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != FALSE;
}

// Writes all bytes to a file or pipe (WriteFile may write less than asked for on a pipe).
void WriteAll(HANDLE handle, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return;
    data += written;
    size -= written;
  }
}

// The attribute last set on a log that is not a console (a file or a pipe keeps no
// colours): read back as the current one, as a console would answer.
std::uint16_t g_fileAttribute = 7;

// Whether AllocConsole made a console of this process's own (FreeConsole then releases it).
bool g_allocated = false;

}  // namespace

// Started with standard output redirected to a file or a pipe ("gavrelo /DEBUG > log"),
// the log goes there and no console window opens: a new console would take the standard
// handles over and the log would never reach the file. Otherwise the process gets a
// console of its own, or keeps the one it was started in (AllocConsole then fails, which
// does no harm).
void AllocConsole() {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) {
    const DWORD type = ::GetFileType(out);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return;
  }
  g_allocated = ::AllocConsole() != FALSE;
}

ConsoleHandle StdOutHandle() { return kStdOutput; }

ConsoleHandle StdErrHandle() { return kStdError; }

void WriteConsoleA(ConsoleHandle handle, std::string_view text) {
  const HANDLE h = AsHandle(handle);
  if (h == INVALID_HANDLE_VALUE || h == nullptr || text.empty()) return;
  if (IsConsole(h)) {
    DWORD written = 0;
    ::WriteConsoleA(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    WriteAll(h, text.data(), text.size());
  }
}

// A console shows the UTF-16 text as it is; a file or pipe gets it in UTF-8, the encoding
// of every other text this tool writes.
void WriteConsoleW(ConsoleHandle handle, std::wstring_view text) {
  const HANDLE h = AsHandle(handle);
  if (h == INVALID_HANDLE_VALUE || h == nullptr || text.empty()) return;
  if (IsConsole(h)) {
    DWORD written = 0;
    ::WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = WideToUtf8(text);
    WriteAll(h, bytes.data(), bytes.size());
  }
}

bool SetConsoleTextAttribute(ConsoleHandle handle, std::uint16_t attribute) {
  const HANDLE h = AsHandle(handle);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return false;
  if (!IsConsole(h)) {
    g_fileAttribute = attribute;
    return true;
  }
  return ::SetConsoleTextAttribute(h, attribute) != FALSE;
}

bool GetConsoleTextAttribute(ConsoleHandle handle, std::uint16_t& attribute) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const HANDLE h = AsHandle(handle);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return false;
  if (!IsConsole(h)) {
    attribute = g_fileAttribute;
    return true;
  }
  if (!::GetConsoleScreenBufferInfo(h, &info)) return false;
  attribute = info.wAttributes;
  return true;
}

// The standard handle is the process's, not the log's: it stays open so that later output
// (a message on exit, a test harness) still reaches it. A console of the process's own goes.
void FreeConsole(ConsoleHandle handle) {
  if (handle == kInvalidConsoleHandle) return;
  g_fileAttribute = 7;
  if (g_allocated) {
    ::FreeConsole();
    g_allocated = false;
  }
}

TLocalTime GetLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace host

#endif
