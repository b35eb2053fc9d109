#pragma once
// Profile (INI) files, read the way the Windows profile reader (GetPrivateProfileStringW)
// reads them:
//   - "[name]" starts a section; text after the closing bracket is ignored;
//   - "key=value" lines belong to the section above them; lines before the first section
//     belong to a nameless section, read under the name "" but not listed;
//   - section and key names match without regard to letter case; blanks around names and
//     values are ignored when a value is read (a key listing takes the section name as
//     given); a value in matching double or single quotes is returned without them;
//   - a key listing names the keys written with "=", except those whose name is empty or
//     begins with ";" (comment lines): these are still read when asked for by their whole
//     name; a line without "=" is a key without a value, read as the default and not listed;
//   - the first matching section and, inside it, the first matching key win;
//   - CRLF, LF or CR line ends; UTF-16LE with byte-order mark (an odd last byte is a
//     character of its own), UTF-8 with or without one. A file without a mark that is not
//     valid UTF-8 is taken as Windows-1252 (one character per byte), so no byte of any file
//     is ever lost or rejected.
//   These are the answers of the Windows reader on the same files (ProfileFileSystemTest),
//   with one exception: the Windows reader reads every file without a mark in the system's
//   ANSI code page, valid UTF-8 too, which turns the UTF-8 that today's editors write into
//   other characters. Here valid UTF-8 is read as UTF-8; the two agree wherever the text is
//   ASCII (the model names, keys and values the tool reads) or not valid UTF-8 (ANSI files
//   of a Western system).
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
    bool Listed() const { return Value && !Key.empty() && Key.front() != L';'; }
  };
  struct TSection {
    std::wstring Name;
    std::vector<TEntry> Entries;
    bool Listed = true;  // false for the nameless section before the first header
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
// UTF-8 when the bytes are valid UTF-8 and Windows-1252 when they are not.
std::wstring DecodeTextFile(std::string_view bytes);

}  // namespace host
