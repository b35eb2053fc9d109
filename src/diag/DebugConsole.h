#pragma once
// The tool's only diagnostic channel: a console of labelled values and short messages,
// opened when the tool is started with /DEBUG. Without it every call returns at once.
//
// Every line is written as separate unbuffered writes (prefix, coloured part, suffix) with a
// colour change around the middle part; after a line the colour is always 7 (grey).
// Colour values: 7 grey, 9 bright blue, 10 bright green, 12 bright red, 14 yellow.

#include <cstdint>
#include <string>
#include <string_view>

#include "host/Console.h"

class TDebugConsole {
 public:
  // The singleton. Only the first call's `enable` counts; later calls never change it.
  static TDebugConsole& Instance(bool enable = false);

  virtual ~TDebugConsole();

  // text + "\n"
  void WriteLine(std::string_view text);
  void WriteLine(std::wstring_view text);
  // label + " ... [" + value (in `color`) + "]\n"
  void LogValue(std::string_view label, std::string_view value, std::uint16_t color);
  void LogValue(std::wstring_view label, std::wstring_view value, std::uint16_t color);
  // "[" [+ local time "%d-%02d-%02d %02d:%02d:%02d.%03d" + "] ["] + text (in `color`) + "]\n"
  void LogMessage(std::string_view text, std::uint16_t color, int withTime);
  // Sets the text attribute; returns the attribute in force before, or 7 when it cannot be
  // read, when `attr` is 0, or when the console is disabled.
  std::uint16_t SetColor(std::uint16_t attr);
  // Releases the console.
  void Close();
  // Writes the following lines to standard error instead of standard output, for a caller
  // whose standard output carries a document (gavreloctl --json) that the log would spoil.
  void UseStandardError();

  bool Enabled() const { return m_Enabled == 1; }

  // Formats the time prefix of LogMessage for the given local time (exposed for tests).
  static std::string FormatTime(int year, int month, int day, int hour, int minute, int second,
                                int millisecond);

 private:
  explicit TDebugConsole(bool enable);
  static void ResetInstance();

  host::ConsoleHandle m_Handle = host::kInvalidConsoleHandle;
  std::uint8_t m_Enabled = 0;
};
