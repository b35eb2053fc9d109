// Any bytes as a Gavrelo.INI: decoding (UTF-16LE, UTF-8, Latin-1), line splitting,
// sections, keys, quotes. Then the reads the start-up flow makes, for the sections and
// keys the content names itself.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto profile = host::TProfileFile::FromBytes(bytes);
  std::wstring text = host::DecodeTextFile(bytes);
  // Names to look up: the flow's own, and every bracketed name and key-like word of the
  // decoded text (bounded: at most 64 of each).
  std::wstring sections[66] = {L"GavreloDemo", L""};
  std::size_t count = 2;
  for (std::size_t at = text.find(L'['); at != std::wstring::npos && count < 66;
       at = text.find(L'[', at + 1)) {
    std::size_t close = text.find(L']', at);
    if (close == std::wstring::npos) break;
    sections[count++] = text.substr(at + 1, close - at - 1);
  }
  for (std::size_t i = 0; i < count; ++i) {
    for (const std::wstring& key : profile->SectionKeys(sections[i])) {
      profile->ReadString(sections[i], key, L"default");
    }
    profile->ReadString(sections[i], L"Delay", L"100");
    profile->ReadString(sections[i], L"TYPE", L"");
    profile->ReadString(sections[i], L"PIN", L"");
  }
  return 0;
}
