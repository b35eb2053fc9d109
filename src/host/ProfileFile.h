#pragma once
// Profile (INI) files, read the way the Windows profile reader (GetPrivateProfileStringW)
// reads them:
//   - "[name]" starts a section; text after the closing bracket is ignored;
//   - "key=value" lines belong to the section above them; lines before the first section
//     belong to none; a line without "=" names no key: the section's key list leaves it
//     out and reading it gives the fallback;
//   - lines whose first non-blank character is ";" are comments;
//   - section and key names match without regard to letter case; blanks around names and
//     values are ignored; a value in matching double or single quotes is returned without
//     them;
//   - the first matching section and, inside it, the first matching key win;
//   - CRLF, LF or CR line ends; UTF-16LE with byte-order mark, UTF-8 with or without one.
//     A file without a mark that is not valid UTF-8 is taken as Latin-1 (one character per
//     byte), so no byte of any file is ever lost or rejected.
//
// The file is read once, when it is opened. At most kMaxFileSize bytes are read: the rest
// of a larger file is ignored, which bounds the memory any file can take.
//
// On Windows, Open hands the file to the system's own reader (GetPrivateProfileStringW,
// which reads the file at each query); FromBytes parses with the rules above on every
// system, so the two can be compared on the same files.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class TProfileFile {
 public:
  static constexpr std::size_t kMaxFileSize = 16u << 20;

  // Reads the file at `path`. A file that cannot be read gives an empty profile (no
  // sections), which is how the Windows reader answers for it too.
  static std::unique_ptr<TProfileFile> Open(const std::string& path);
  // Parses file content already in memory (same rules as Open).
  static std::unique_ptr<TProfileFile> FromBytes(std::string_view bytes);

  // Names of the keys of the first section called `section`, in file order (empty when
  // there is no such section or it holds no key).
  std::vector<std::wstring> SectionKeys(std::wstring_view section) const;
  // The lines without "=" of the first section called `section`, trimmed, in file order:
  // what a reader of the file may have meant as keys. Answered from the parsed bytes only
  // (FromBytes; a profile opened on Windows answers none).
  std::vector<std::wstring> LinesWithoutValue(std::wstring_view section) const;
  // Names of every section, in file order (a name that repeats is listed each time).
  std::vector<std::wstring> SectionNames() const;

  // The value of `key` in the first section called `section`; `fallback` when the section
  // or the key is absent or the key has no "=". A key written with "=" and nothing after
  // it yields "" — not the fallback.
  std::wstring ReadString(std::wstring_view section, std::wstring_view key,
                          std::wstring_view fallback) const;

 private:
  struct TEntry {
    std::wstring Key;
    std::optional<std::wstring> Value;
  };
  struct TSection {
    std::wstring Name;
    std::vector<TEntry> Entries;
  };

  const TSection* FindSection(std::wstring_view name) const;

  std::vector<TSection> m_Sections;
#ifdef _WIN32
  // The file the system's reader answers for (Open).
  std::wstring m_SystemPath;
  std::vector<std::wstring> SystemSectionKeys(std::wstring_view section) const;
  std::vector<std::wstring> SystemSectionNames() const;
  std::wstring SystemReadString(std::wstring_view section, std::wstring_view key,
                                std::wstring_view fallback) const;
#endif
};

// Decodes the bytes of a text file: UTF-16LE after FF FE, UTF-8 after EF BB BF, otherwise
// UTF-8 when the bytes are valid UTF-8 and Latin-1 when they are not.
std::wstring DecodeTextFile(std::string_view bytes);

}  // namespace host
