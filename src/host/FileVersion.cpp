#include "host/FileVersion.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace host {
#ifndef _WIN32
// The Windows version record is read in FileVersionWindows.cpp.
namespace {

// The fixed version record: thirteen little-endian 32-bit words, as VS_FIXEDFILEINFO.
constexpr std::size_t kFixedFileInfoSize = 13 * 4;
// Section headers and the section-name table are read only within these bounds; an
// executable of this tool has a few dozen sections and names of a few hundred bytes.
constexpr std::uint64_t kMaxSectionHeaders = 4096;
constexpr std::uint64_t kMaxNameTable = 1u << 20;

class TFileReader {
 public:
  explicit TFileReader(const std::string& path) : m_In(path, std::ios::binary) {
    if (m_In) {
      m_In.seekg(0, std::ios::end);
      std::streamoff size = m_In.tellg();
      m_Size = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    }
  }
  bool Read(std::uint64_t offset, void* buffer, std::uint64_t size) {
    if (!m_In || offset > m_Size || size > m_Size - offset) return false;
    m_In.seekg(static_cast<std::streamoff>(offset));
    m_In.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
    return static_cast<std::uint64_t>(m_In.gcount()) == size;
  }

 private:
  std::ifstream m_In;
  std::uint64_t m_Size = 0;
};

std::uint64_t Field(const unsigned char* p, unsigned width, bool bigEndian) {
  std::uint64_t v = 0;
  for (unsigned i = 0; i < width; ++i) {
    unsigned shift = bigEndian ? (width - 1 - i) * 8 : i * 8;
    v |= static_cast<std::uint64_t>(p[i]) << shift;
  }
  return v;
}

std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(Field(p, 4, false));
}

}  // namespace

std::optional<TFileVersionLocation> LocateFileVersion(const std::string& path) {
  TFileReader file(path);
  unsigned char ident[64];
  if (!file.Read(0, ident, 52)) return std::nullopt;  // shortest ELF header (32-bit)
  if (std::memcmp(ident,
                  "\x7F"
                  "ELF",
                  4) != 0)
    return std::nullopt;
  bool is64 = ident[4] == 2;
  bool bigEndian = ident[5] == 2;
  if ((ident[4] != 1 && !is64) || (ident[5] != 1 && !bigEndian)) return std::nullopt;
  if (is64 && !file.Read(0, ident, 64)) return std::nullopt;
  auto field = [&](std::size_t at, unsigned width) { return Field(ident + at, width, bigEndian); };
  std::uint64_t shoff = is64 ? field(0x28, 8) : field(0x20, 4);
  std::uint64_t shentsize = is64 ? field(0x3A, 2) : field(0x2E, 2);
  std::uint64_t shnum = is64 ? field(0x3C, 2) : field(0x30, 2);
  std::uint64_t shstrndx = is64 ? field(0x3E, 2) : field(0x32, 2);
  std::uint64_t minEntry = is64 ? 64 : 40;
  if (shoff == 0 || shnum == 0 || shnum > kMaxSectionHeaders || shentsize < minEntry ||
      shstrndx >= shnum) {
    return std::nullopt;
  }
  struct TSectionHeader {
    std::uint64_t Name, Type, Offset, Size;
  };
  auto readHeader = [&](std::uint64_t index, TSectionHeader& out) {
    unsigned char raw[64];
    if (index > (UINT64_MAX - shoff) / shentsize) return false;
    if (!file.Read(shoff + index * shentsize, raw, minEntry)) return false;
    auto f = [&](std::size_t at, unsigned width) { return Field(raw + at, width, bigEndian); };
    out.Name = f(0, 4);
    out.Type = f(4, 4);
    out.Offset = is64 ? f(0x18, 8) : f(0x10, 4);
    out.Size = is64 ? f(0x20, 8) : f(0x14, 4);
    return true;
  };
  TSectionHeader names{};
  if (!readHeader(shstrndx, names) || names.Size == 0 || names.Size > kMaxNameTable) {
    return std::nullopt;
  }
  std::vector<char> table(static_cast<std::size_t>(names.Size) + 1, '\0');
  if (!file.Read(names.Offset, table.data(), names.Size)) return std::nullopt;
  const std::size_t wantedLength = std::strlen(kFileVersionSection);
  for (std::uint64_t i = 0; i < shnum; ++i) {
    TSectionHeader header{};
    if (!readHeader(i, header)) return std::nullopt;
    constexpr std::uint64_t kProgBits = 1;
    if (header.Type != kProgBits || header.Name >= names.Size) continue;
    const char* name = table.data() + header.Name;  // the table ends in an added NUL
    if (std::strlen(name) != wantedLength || std::memcmp(name, kFileVersionSection, wantedLength))
      continue;
    if (header.Size < kFixedFileInfoSize) return std::nullopt;
    return TFileVersionLocation{header.Offset, header.Size};
  }
  return std::nullopt;
}

std::optional<TFileVersion> ReadFileVersion(const std::string& path) {
  std::optional<TFileVersionLocation> location = LocateFileVersion(path);
  if (!location) return std::nullopt;
  unsigned char record[kFixedFileInfoSize];
  TFileReader file(path);
  if (!file.Read(location->Offset, record, sizeof record)) return std::nullopt;
  if (Le32(record) != kFixedFileInfoSignature) return std::nullopt;
  std::uint32_t ms = Le32(record + 8);   // dwFileVersionMS
  std::uint32_t ls = Le32(record + 12);  // dwFileVersionLS
  return TFileVersion{static_cast<std::uint16_t>(ms >> 16), static_cast<std::uint16_t>(ms),
                      static_cast<std::uint16_t>(ls >> 16), static_cast<std::uint16_t>(ls)};
}

#endif
}  // namespace host
