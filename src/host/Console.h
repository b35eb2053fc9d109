#pragma once
// The process console as the debug log uses it (AllocConsole, GetStdHandle, WriteConsoleA/W,
// SetConsoleTextAttribute, GetConsoleScreenBufferInfo, FreeConsole on Windows).
//
// On Linux the "console" is the process's standard output: every write goes straight to
// file descriptor 1, unbuffered, so a process that ends at once loses nothing. Colour
// attributes (Windows text attributes: 1 blue, 2 green, 4 red, 8 intensity) become ANSI
// escape sequences only when standard output is a terminal; captured output therefore holds
// exactly the text of each line.
//
// On Windows it is the console itself: AllocConsole gives the process a console (or it
// keeps the one it was started in), and WriteConsoleA/W write to it with text attributes
// as colours. When standard output was redirected to a file or a pipe, the log goes there
// instead, with no console window and no colours (wide text in UTF-8).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace host {

using ConsoleHandle = std::intptr_t;
inline constexpr ConsoleHandle kInvalidConsoleHandle = -1;

// Opens a console for the process (a no-op on Linux, which already has standard output).
void AllocConsole();
// The standard output handle, or kInvalidConsoleHandle.
ConsoleHandle StdOutHandle();
// The standard error handle, or kInvalidConsoleHandle.
ConsoleHandle StdErrHandle();
// Writes the bytes as they are.
void WriteConsoleA(ConsoleHandle handle, std::string_view text);
// Writes UTF-16/UTF-32 text (wchar_t) converted to UTF-8.
void WriteConsoleW(ConsoleHandle handle, std::wstring_view text);
// Sets the text attribute. Returns false when it cannot be set.
bool SetConsoleTextAttribute(ConsoleHandle handle, std::uint16_t attribute);
// Reads the current text attribute. Returns false when it cannot be read.
bool GetConsoleTextAttribute(ConsoleHandle handle, std::uint16_t& attribute);
// Releases the console and the handle.
void FreeConsole(ConsoleHandle handle);

// The local time (GetLocalTime on Windows), for time stamps of the log.
struct TLocalTime {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};
TLocalTime GetLocalTime();

// Converts wide text to UTF-8 (invalid code units become U+FFFD).
std::string WideToUtf8(std::wstring_view text);
// Converts UTF-8 to wide text (invalid sequences become U+FFFD).
std::wstring Utf8ToWide(std::string_view text);

}  // namespace host
