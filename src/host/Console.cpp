#include "host/Console.h"

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#endif
#include <string>

namespace host {

#ifndef _WIN32
// The Windows console is in ConsoleWindows.cpp.
namespace {

// Attribute the console shows now; 7 (grey on black) until someone changes it.
std::uint16_t g_attribute = 7;

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // console writes are fire-and-forget
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

int Fd(ConsoleHandle handle) { return handle == kInvalidConsoleHandle ? -1 : static_cast<int>(handle); }

// ANSI colour for a Windows text attribute (foreground bits only).
std::string AnsiFor(std::uint16_t attribute) {
  static const int kAnsi[8] = {30, 34, 32, 36, 31, 35, 33, 37};  // RGB bits 0..7 -> ANSI colour
  int colour = kAnsi[attribute & 7];
  if (attribute == 7) return "\x1b[0m";
  return std::string("\x1b[") + ((attribute & 8) ? "1;" : "0;") + std::to_string(colour) + "m";
}

}  // namespace

void AllocConsole() {}

ConsoleHandle StdOutHandle() { return STDOUT_FILENO; }

ConsoleHandle StdErrHandle() { return STDERR_FILENO; }

void WriteConsoleA(ConsoleHandle handle, std::string_view text) {
  int fd = Fd(handle);
  if (fd < 0) return;
  WriteAll(fd, text.data(), text.size());
}

void WriteConsoleW(ConsoleHandle handle, std::wstring_view text) {
  WriteConsoleA(handle, WideToUtf8(text));
}

bool SetConsoleTextAttribute(ConsoleHandle handle, std::uint16_t attribute) {
  int fd = Fd(handle);
  if (fd < 0) return false;
  if (attribute != g_attribute && ::isatty(fd)) {
    std::string seq = AnsiFor(attribute);
    WriteAll(fd, seq.data(), seq.size());
  }
  g_attribute = attribute;
  return true;
}

bool GetConsoleTextAttribute(ConsoleHandle handle, std::uint16_t& attribute) {
  if (Fd(handle) < 0) return false;
  attribute = g_attribute;
  return true;
}

void FreeConsole(ConsoleHandle handle) {
  // Standard output belongs to the process; it is never closed here so that later output
  // (a message on exit, the test harness) still reaches it.
  if (Fd(handle) >= 0 && g_attribute != 7 && ::isatty(Fd(handle))) {
    std::string seq = AnsiFor(7);
    WriteAll(Fd(handle), seq.data(), seq.size());
  }
  g_attribute = 7;
}

TLocalTime GetLocalTime() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,   local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(ms.count())};
}
#endif

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = static_cast<std::uint32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        std::uint32_t low = static_cast<std::uint32_t>(text[i + 1]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring Utf8ToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  auto push = [&out](std::uint32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (c >> 10));
        out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        return;
      }
    }
    out += static_cast<wchar_t>(c);
  };
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    if (extra == 0) {
      push(lead);
      ++i;
      continue;
    }
    std::uint32_t c = extra > 0 ? (lead & (0x3Fu >> extra)) : 0;
    bool ok = extra > 0;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + static_cast<std::size_t>(k) >= text.size()) {
        ok = false;
        break;
      }
      unsigned char cont = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((cont & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (cont & 0x3F);
    }
    static const std::uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (!ok || c < kMin[extra > 0 ? extra : 0] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      push(0xFFFD);  // one replacement per bad lead byte; resynchronise at the next byte
      ++i;
      continue;
    }
    push(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace host
