#include "diag/DebugConsole.h"

#include <cstdio>

#include "diag/ProcessState.h"

namespace {
TDebugConsole* g_instance = nullptr;
}

TDebugConsole& TDebugConsole::Instance(bool enable) {
  if (g_instance == nullptr) {
    g_instance = new TDebugConsole(enable);  // lives until the process ends
    gavrelo::RegisterProcessReset(&TDebugConsole::ResetInstance);
  }
  return *g_instance;
}

void TDebugConsole::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TDebugConsole::TDebugConsole(bool enable) : m_Enabled(enable ? 1 : 0) {
  if (m_Enabled == 1) {
    host::AllocConsole();
    m_Handle = host::StdOutHandle();
  }
}

TDebugConsole::~TDebugConsole() { Close(); }

void TDebugConsole::UseStandardError() {
  if (m_Enabled == 1) m_Handle = host::StdErrHandle();
}

void TDebugConsole::Close() {
  if (m_Handle == host::kInvalidConsoleHandle) return;
  host::FreeConsole(m_Handle);
  m_Handle = host::kInvalidConsoleHandle;
}

std::uint16_t TDebugConsole::SetColor(std::uint16_t attr) {
  if (m_Handle == 0 || m_Enabled != 1) return 7;
  std::uint16_t previous = 7;
  if (!host::GetConsoleTextAttribute(m_Handle, previous)) previous = 7;
  if (attr == 0) return 7;
  host::SetConsoleTextAttribute(m_Handle, attr);
  return previous;
}

void TDebugConsole::WriteLine(std::string_view text) {
  if (m_Handle == 0 || m_Enabled != 1) return;
  host::WriteConsoleA(m_Handle, text);
  host::WriteConsoleA(m_Handle, "\n");
}

void TDebugConsole::WriteLine(std::wstring_view text) {
  if (m_Handle == 0 || m_Enabled != 1) return;
  host::WriteConsoleW(m_Handle, text);
  host::WriteConsoleW(m_Handle, L"\n");
}

void TDebugConsole::LogValue(std::string_view label, std::string_view value, std::uint16_t color) {
  if (m_Handle == 0 || m_Enabled == 0) return;
  host::WriteConsoleA(m_Handle, label);
  host::WriteConsoleA(m_Handle, " ... [");
  SetColor(color);
  host::WriteConsoleA(m_Handle, value);
  SetColor(7);
  host::WriteConsoleA(m_Handle, "]\n");
}

void TDebugConsole::LogValue(std::wstring_view label, std::wstring_view value,
                             std::uint16_t color) {
  if (m_Handle == 0 || m_Enabled == 0) return;
  host::WriteConsoleW(m_Handle, label);
  host::WriteConsoleW(m_Handle, L" ... [");
  SetColor(color);
  host::WriteConsoleW(m_Handle, value);
  SetColor(7);
  host::WriteConsoleW(m_Handle, L"]\n");
}

std::string TDebugConsole::FormatTime(int year, int month, int day, int hour, int minute,
                                      int second, int millisecond) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d-%02d-%02d %02d:%02d:%02d.%03d", year, month, day, hour,
                minute, second, millisecond);
  return buffer;
}

void TDebugConsole::LogMessage(std::string_view text, std::uint16_t color, int withTime) {
  if (m_Handle == 0 || m_Enabled == 0) return;
  host::WriteConsoleA(m_Handle, "[");
  if (withTime == 1) {
    const host::TLocalTime now = host::GetLocalTime();
    host::WriteConsoleA(m_Handle, FormatTime(now.Year, now.Month, now.Day, now.Hour, now.Minute,
                                             now.Second, now.Millisecond));
    host::WriteConsoleA(m_Handle, "] [");
  }
  SetColor(color);
  host::WriteConsoleA(m_Handle, text);
  SetColor(7);
  host::WriteConsoleA(m_Handle, "]\n");
}
