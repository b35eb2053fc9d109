// The file version on Windows (FileVersion.h): the executable's VERSIONINFO resource.
#ifdef _WIN32

#include <windows.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "host/FileVersion.h"

namespace host {

std::optional<TFileVersion> ReadFileVersion(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<unsigned char> block(size);
  if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::nullopt;
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(block.data(), "\\", &value, &length) || value == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, value, sizeof info);
  if (info.dwSignature != kFixedFileInfoSignature) return std::nullopt;
  return TFileVersion{HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
                      HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS)};
}

// The resource is found by its key: a VS_VERSIONINFO block starts with three 16-bit words
// and the UTF-16 key "VS_VERSION_INFO" with its terminating zero, then (at offset 40 of
// the block, after the padding to 32 bits) the fixed record. The whole file is at most
// read once; files larger than 256 MiB are not executables of this tool.
std::optional<TFileVersionLocation> LocateFileVersion(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > (256 << 20)) return std::nullopt;
  std::vector<char> bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(bytes.data(), size)) return std::nullopt;
  static const char kKey[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0";
  constexpr std::size_t kKeyLength = sizeof kKey;  // 16 characters of 2 bytes
  constexpr std::size_t kFixedSize = 13 * 4;
  // The last record is the file's own: gavrelo.exe carries the driver images, each with a
  // version resource of its own, as data in a section before the resource section.
  std::optional<TFileVersionLocation> found;
  for (std::size_t at = 6; at + kKeyLength <= bytes.size(); ++at) {
    if (std::memcmp(bytes.data() + at, kKey, kKeyLength) != 0) continue;
    const std::size_t fixed = at - 6 + 40;
    if (fixed + kFixedSize > bytes.size()) break;
    std::uint32_t signature = 0;
    std::memcpy(&signature, bytes.data() + fixed, 4);
    if (signature == kFixedFileInfoSignature) found = TFileVersionLocation{fixed, kFixedSize};
  }
  return found;
}

}  // namespace host

#endif
