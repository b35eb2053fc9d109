// Profile files on Windows (ProfileFile.h): the system's reader, GetPrivateProfileStringW.
#ifdef _WIN32

#include <windows.h>

#include "host/ProfileFile.h"

namespace host {
namespace {

// A path from the ANSI interfaces (GetModuleFileNameA) in UTF-16.
std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return L"";
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  }
  return wide;
}

// GetPrivateProfileStringW into a buffer that grows until the answer fits. The reader
// reports a cut answer as the buffer size less one (a value) or less two (a key list);
// the buffer never grows past the largest file this reader takes.
std::wstring Query(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                   const std::wstring& path) {
  std::wstring buffer(256, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length =
        ::GetPrivateProfileStringW(section, key, fallback, buffer.data(), size, path.c_str());
    const bool cut = key == nullptr ? length + 2 >= size : length + 1 >= size;
    if (!cut || buffer.size() >= TProfileFile::kMaxFileSize) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 4);
  }
}

// A list the reader returns as names each ended by a zero.
std::vector<std::wstring> SplitList(const std::wstring& list) {
  std::vector<std::wstring> names;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find(L'\0', start);
    if (end == std::wstring::npos) end = list.size();
    if (end > start) names.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace

std::unique_ptr<TProfileFile> TProfileFile::Open(const std::string& path) {
  auto profile = std::unique_ptr<TProfileFile>(new TProfileFile());
  profile->m_SystemPath = AnsiToWide(path);
  return profile;
}

std::vector<std::wstring> TProfileFile::SystemSectionKeys(std::wstring_view section) const {
  // With no key name the reader lists the section's keys.
  return SplitList(Query(std::wstring(section).c_str(), nullptr, L"", m_SystemPath));
}

std::vector<std::wstring> TProfileFile::SystemSectionNames() const {
  // With no section name either it lists the sections.
  return SplitList(Query(nullptr, nullptr, L"", m_SystemPath));
}

std::wstring TProfileFile::SystemReadString(std::wstring_view section, std::wstring_view key,
                                            std::wstring_view fallback) const {
  return Query(std::wstring(section).c_str(), std::wstring(key).c_str(),
               std::wstring(fallback).c_str(), m_SystemPath);
}

}  // namespace host

#endif
