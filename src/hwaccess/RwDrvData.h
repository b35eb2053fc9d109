#pragma once
// TRwDrvData: the driver image that fits the running Windows, and where it goes.
//
// The Windows executable carries the x64 and 32-bit NT images of OrvDrv101.sys
// (hwaccess/DriverImages.h; the Itanium and Windows 9x images are absent) and the loader
// writes the chosen one to the driver directory when no driver file is there. Other builds
// run their driver in-process and carry none: Choose still names the kind that fits, while
// Image stays null and Length 0, so the loader never writes a driver file. A loader given
// an image (TLoadDriver's own constructor) writes it exactly as the Windows build does.

#include <cstdint>
#include <string>

class TRwDrvData {
 public:
  enum class TKind { None, Nt32, X64, Itanium, Win9x };

  // F = OS flags masked with 0xFFFF; nativeProcess false under the 32-bit emulation layer;
  // processBits the width of the running executable (32 or 64).
  //
  // A native 32-bit process on an NT system runs on a 32-bit Windows and takes the 32-bit
  // image; under the emulation layer it takes the image of the 64-bit system. A native
  // 64-bit process runs on the 64-bit system itself, so it takes that system's image too:
  // the 32-bit image could never load into a 64-bit kernel.
  static TRwDrvData Choose(std::uint32_t flags, bool nativeProcess,
                           unsigned processBits = sizeof(void*) * 8);

  TKind Kind = TKind::None;
  const std::uint8_t* Image = nullptr;
  std::uint32_t Length = 0;
  // The length of the image of this kind in the Windows build.
  std::uint32_t WindowsLength() const;

  // Driver file path for the OS family: NT native "<system>\Drivers\OrvDrv101.sys", NT under
  // emulation "<windows>\SysWOW64\Drivers\OrvDrv101.sys", 9x "<system>\OrvDrv101.vxd".
  // At most 260 characters; longer paths are cut there, as the fixed path buffer would.
  static std::string DriverFilePath(std::uint32_t flags, bool nativeProcess,
                                    const std::string& systemDirectory,
                                    const std::string& windowsDirectory);
  // "\\.\OrvDrv101" on NT, "\\.\" + the driver file path on 9x.
  static std::string DevicePath(std::uint32_t flags, const std::string& driverFilePath);
};
