#include "host/ProfileFile.h"

#include <algorithm>
#include <fstream>

#include "host/Console.h"

namespace host {
namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f' || c == L'\r' || c == L'\n';
}

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Case-insensitive name comparison. Section and key names are ASCII in practice (model
// names, Delay/TYPE/PIN); letters outside ASCII compare as they are.
wchar_t Fold(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    unsigned char lead = static_cast<unsigned char>(bytes[i]);
    std::size_t extra;
    std::uint32_t c;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead >> 5) == 0x6) {
      extra = 1;
      c = lead & 0x1Fu;
    } else if ((lead >> 4) == 0xE) {
      extra = 2;
      c = lead & 0x0Fu;
    } else if ((lead >> 3) == 0x1E) {
      extra = 3;
      c = lead & 0x07u;
    } else {
      return false;
    }
    if (i + extra >= bytes.size()) return false;  // sequence cut off by the end
    for (std::size_t k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3Fu);
    }
    static const std::uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

// Windows-1252, the ANSI code page of Western Windows systems, in which the Windows reader
// reads a file without a byte-order mark: bytes 0x80-0x9F (the rest is Latin-1). The five
// bytes the code page leaves undefined stay the control characters of the same number, as
// Windows maps them.
constexpr wchar_t kWindows1252[32] = {
    /* 0x80 */ 0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    /* 0x88 */ 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    /* 0x90 */ 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    /* 0x98 */ 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::wstring DecodeUtf16Le(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size() / 2);
  // An odd last byte is read as a unit whose high byte is 0, as the Windows reader does.
  std::size_t units = (bytes.size() + 1) / 2;
  auto unit = [&bytes](std::size_t i) -> std::uint32_t {
    const std::uint32_t high = 2 * i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[2 * i + 1]) : 0;
    return static_cast<unsigned char>(bytes[2 * i]) | high << 8;
  };
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      std::uint32_t low = unit(++i);
      if constexpr (sizeof(wchar_t) == 2) {
        out += static_cast<wchar_t>(c);
        out += static_cast<wchar_t>(low);
      } else {
        out += static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
      }
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // unpaired surrogate
    out += static_cast<wchar_t>(c);
  }
  return out;
}

}  // namespace

std::wstring DecodeTextFile(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return DecodeUtf16Le(bytes.substr(2));
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsValidUtf8(bytes)) return Utf8ToWide(bytes);
  std::wstring out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte >= 0x80 && byte <= 0x9F ? kWindows1252[byte - 0x80] : static_cast<wchar_t>(byte);
  }
  return out;
}

#ifndef _WIN32
// On Windows the system's reader takes the file (ProfileFileWindows.cpp).
std::unique_ptr<TProfileFile> TProfileFile::Open(const std::string& path) {
  std::string bytes;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (in) {
    // Only as much as the file holds: a buffer of the whole limit would be 16 MiB written
    // for every INI file of a few hundred bytes.
    const std::streamoff size = in.tellg();
    in.seekg(0);
    bytes.resize(size > 0 ? std::min(static_cast<std::size_t>(size), kMaxFileSize) : 0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
  }
  return FromBytes(bytes);
}
#endif

std::unique_ptr<TProfileFile> TProfileFile::FromBytes(std::string_view bytes) {
  if (bytes.size() > kMaxFileSize) bytes = bytes.substr(0, kMaxFileSize);
  auto profile = std::unique_ptr<TProfileFile>(new TProfileFile());
  std::wstring text = DecodeTextFile(bytes);
  std::wstring_view rest = text;
  // Lines before the first section header belong to a nameless section, which is read
  // under the name "" but not listed among the sections.
  profile->m_Sections.push_back({L"", {}, false});
  TSection* current = &profile->m_Sections.back();
  while (!rest.empty()) {
    std::size_t end = rest.find_first_of(L"\r\n");
    std::wstring_view line = rest.substr(0, end);
    if (end == std::wstring_view::npos) {
      rest = {};
    } else {
      // CRLF counts as one line end; a lone CR or LF as one too.
      std::size_t skip =
          (rest[end] == L'\r' && end + 1 < rest.size() && rest[end + 1] == L'\n') ? 2 : 1;
      rest.remove_prefix(end + skip);
    }
    line = Trim(line);
    if (line.empty()) continue;
    if (line.front() == L'[') {
      std::size_t close = line.find(L']');
      if (close != std::wstring_view::npos) {
        profile->m_Sections.push_back({std::wstring(Trim(line.substr(1, close - 1))), {}, true});
        current = &profile->m_Sections.back();
        continue;
      }
    }
    std::size_t equals = line.find(L'=');
    TEntry entry;
    entry.Key = std::wstring(Trim(line.substr(0, equals)));
    if (equals != std::wstring_view::npos) {
      std::wstring_view value = Trim(line.substr(equals + 1));
      if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      entry.Value = std::wstring(value);
    }
    current->Entries.push_back(std::move(entry));
  }
  return profile;
}

const TProfileFile::TSection* TProfileFile::FindSection(std::wstring_view name) const {
  for (const TSection& section : m_Sections) {
    if (SameName(section.Name, name)) return &section;
  }
  return nullptr;
}

std::vector<std::wstring> TProfileFile::SectionKeys(std::wstring_view section) const {
#ifdef _WIN32
  if (!m_SystemPath.empty()) return SystemSectionKeys(section);
#endif
  // The listing takes the section name as given (blanks around it included), while a
  // value's lookup ignores them: the Windows reader does both.
  std::vector<std::wstring> keys;
  if (const TSection* found = FindSection(section)) {
    for (const TEntry& entry : found->Entries)
      if (entry.Listed()) keys.push_back(entry.Key);
  }
  return keys;
}

std::vector<std::wstring> TProfileFile::LinesWithoutValue(std::wstring_view section) const {
  std::vector<std::wstring> lines;
  if (const TSection* found = FindSection(section)) {
    for (const TEntry& entry : found->Entries)
      if (!entry.Value && entry.Key.front() != L';') lines.push_back(entry.Key);  // no comments
  }
  return lines;
}

std::vector<std::wstring> TProfileFile::SectionNames() const {
#ifdef _WIN32
  if (!m_SystemPath.empty()) return SystemSectionNames();
#endif
  std::vector<std::wstring> names;
  for (const TSection& section : m_Sections)
    if (section.Listed) names.push_back(section.Name);
  return names;
}

std::wstring TProfileFile::ReadString(std::wstring_view section, std::wstring_view key,
                                      std::wstring_view fallback) const {
#ifdef _WIN32
  if (!m_SystemPath.empty()) return SystemReadString(section, key, fallback);
#endif
  if (const TSection* found = FindSection(Trim(section))) {
    key = Trim(key);
    for (const TEntry& entry : found->Entries) {
      if (SameName(entry.Key, key)) {
        return entry.Value ? *entry.Value : std::wstring(fallback);
      }
    }
  }
  return std::wstring(fallback);
}

}  // namespace host
