#include "hwaccess/RwDrvData.h"

#include "hwaccess/DriverImages.h"
#include "hwaccess/DriverProtocol.h"

TRwDrvData TRwDrvData::Choose(std::uint32_t flags, bool nativeProcess, unsigned processBits) {
  TRwDrvData data;
  const std::uint32_t f = flags & 0xFFFF;
  const bool system64 = (f & 3) != 0;
  if (f <= 0x10) {
    data.Kind = TKind::Win9x;
  } else if (nativeProcess && !(processBits == 64 && system64)) {
    data.Kind = TKind::Nt32;
  } else if (f & 2) {
    data.Kind = TKind::Itanium;
  } else if (f & 1) {
    data.Kind = TKind::X64;
  }
  const TDriverImage image = EmbeddedDriverImage(data.Kind);
  data.Image = image.Image;
  data.Length = image.Length;
  return data;
}

std::uint32_t TRwDrvData::WindowsLength() const {
  switch (Kind) {
    case TKind::Nt32: return 19720;
    case TKind::X64: return 22280;
    case TKind::Itanium: return 36104;
    case TKind::Win9x: return 5173;
    case TKind::None: break;
  }
  return 0;
}

namespace {
constexpr std::size_t kMaxPath = 260;
std::string Bounded(std::string path) {
  if (path.size() > kMaxPath - 1) path.resize(kMaxPath - 1);
  return path;
}
}  // namespace

std::string TRwDrvData::DriverFilePath(std::uint32_t flags, bool nativeProcess,
                                       const std::string& systemDirectory,
                                       const std::string& windowsDirectory) {
  const std::string name = drv::kDeviceName;
  if ((flags & 0xFFFF) == 0x10) return Bounded(systemDirectory + "\\" + name + ".vxd");
  if (nativeProcess) return Bounded(systemDirectory + "\\Drivers\\" + name + ".sys");
  return Bounded(windowsDirectory + "\\SysWOW64" + "\\Drivers\\" + name + ".sys");
}

std::string TRwDrvData::DevicePath(std::uint32_t flags, const std::string& driverFilePath) {
  if ((flags & 0xFFFF) == 0x10) return Bounded("\\\\.\\" + driverFilePath);
  return drv::kDevicePath;
}
