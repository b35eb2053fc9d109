#pragma once
// The four-part file version an executable carries, read back from the file itself.
//
// On Windows it is the VERSIONINFO resource, whose fixed record (VS_FIXEDFILEINFO, root
// block "\") GetFileVersionInfoSizeA/GetFileVersionInfoA/VerQueryValueA return; the
// Windows build gives each executable one (cmake/FileVersion.rc.in). The Linux build stores the same
// fixed record, byte for byte, in an ELF section of its own (kFileVersionSection); the
// build adds it to each executable from the project version (cmake/FileVersion.cmake).
// Reading it back from the file — not from a compiled constant — means a copied, renamed
// or foreign file reports its own version, and a file without one reports none.

#include <cstdint>
#include <optional>
#include <string>

namespace host {

inline constexpr const char* kFileVersionSection = ".fileversion";
inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

struct TFileVersion {
  std::uint16_t Major = 0;
  std::uint16_t Minor = 0;
  std::uint16_t Release = 0;
  std::uint16_t Build = 0;
};

// The file version of the executable at `path`; nothing when the file cannot be read, is
// not an executable of this platform, or carries no valid version record.
std::optional<TFileVersion> ReadFileVersion(const std::string& path);

// Position and size of the version record inside the file, for tools that stamp or
// inspect it; nothing as above.
struct TFileVersionLocation {
  std::uint64_t Offset = 0;
  std::uint64_t Size = 0;
};
std::optional<TFileVersionLocation> LocateFileVersion(const std::string& path);

}  // namespace host
