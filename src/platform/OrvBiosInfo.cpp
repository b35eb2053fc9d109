#include "platform/OrvBiosInfo.h"

#include <cstdio>

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "hwaccess/ReadWrite.h"
#include "platform/FirmwareBytes.h"
#include "platform/FirmwareSearch.h"

namespace {

TOrvBiosInfo* g_instance = nullptr;
constexpr std::uint32_t kNotFound = 0xFFFFFFFF;

// Windows-1252, the ANSI code page of the boards' firmware tools, for bytes 0x80-0x9F;
// the bytes it leaves undefined map to the same code point, as the system conversion does.
// Every other byte is the Latin-1 code point of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t AnsiToWide(std::uint8_t b) {
  if (b >= 0x80 && b < 0xA0) return static_cast<wchar_t>(kCp1252High[b - 0x80]);
  return static_cast<wchar_t>(b);
}

// A NUL version letter or suffix has no printable form; it is left out, as a C-string
// formatter would end the text there.
void AppendChar(std::wstring& text, std::uint8_t b) {
  if (b != 0) text += AnsiToWide(b);
}

}  // namespace

TOrvBiosInfo& TOrvBiosInfo::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TOrvBiosInfo();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TOrvBiosInfo::ResetInstance);
  }
  return *g_instance;
}

void TOrvBiosInfo::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

bool TOrvBiosInfo::SignaturePresent(TReadWrite& access) {
  std::uint64_t match = access.SearchMem(kAreaStart, 0x1FFFF, 1, kSignature, kSignatureLength, 0);
  return (match & 0xFFFFFFFF) != kNotFound;
}

TOrvBiosInfo::TOrvBiosInfo() : m_ReadWrite(TReadWrite::Instance()) {
  SignatureFound = SignaturePresent(m_ReadWrite);
  if (!SignatureFound) return;

  // Every copy of the signature over 0x20000 bytes, in order, until one whose 64 bytes read
  // and sum to 0. A copy that cannot be read is no record, whatever the buffer holds.
  constexpr std::uint32_t kRecordArea = 0x20000;
  RecordValid = firmware::FindAcceptedCopy(
      m_ReadWrite, kAreaStart, kRecordArea, kSignature, kSignatureLength,
      [this](std::uint64_t match) {
        return m_ReadWrite.ReadMemBlock(Record.data(), kRecordLength, match) &&
               firmware::Sum8(Record) == 0;
      });
  if (!RecordValid) return;

  RawProjectName = DecodeRawProjectName(Record);
  TDebugConsole::Instance().LogValue(L"RawProjectName", RawProjectName, 9);
  ProjectName = TrimTrailingDots(RawProjectName);
  BiosVersion = DecodeVersion(Record);
  BiosDate = DecodeDate(Record);
}

std::wstring TOrvBiosInfo::DecodeRawProjectName(std::span<const std::uint8_t, kRecordLength> record) {
  std::wstring name;
  for (std::size_t i = 10; i < 42 && record[i] != 0; ++i) name += AnsiToWide(record[i]);
  return name;
}

std::wstring TOrvBiosInfo::TrimTrailingDots(std::wstring name) {
  while (!name.empty() && name.back() == L'.') name.pop_back();
  return name;
}

std::wstring TOrvBiosInfo::DecodeVersion(std::span<const std::uint8_t, kRecordLength> record) {
  std::wstring text;
  AppendChar(text, record[42]);
  char numbers[16];
  std::snprintf(numbers, sizeof numbers, "%u.%02u", static_cast<unsigned>(record[43]),
                static_cast<unsigned>(record[44]));
  for (const char* p = numbers; *p != 0; ++p) text += static_cast<wchar_t>(*p);
  if (record[45] != '0') AppendChar(text, record[45]);
  return text;
}

std::wstring TOrvBiosInfo::DecodeDate(std::span<const std::uint8_t, kRecordLength> record) {
  char date[24];
  std::snprintf(date, sizeof date, "%u/%02u/%02u",
                static_cast<unsigned>(record[46] | record[47] << 8),
                static_cast<unsigned>(record[48]), static_cast<unsigned>(record[49]));
  std::wstring text;
  for (const char* p = date; *p != 0; ++p) text += static_cast<wchar_t>(*p);
  return text;
}
