#pragma once
// The driver images the tool carries as data, each with its exact length. The Windows
// build embeds the x64 and the 32-bit NT build of OrvDrv101.sys (src/hwaccess/kernel/);
// there is no toolchain here for the Itanium and Windows 9x builds, so those kinds have no
// image and the loader handles them as absent. Other builds carry none.

#include <cstdint>

#include "hwaccess/RwDrvData.h"

struct TDriverImage {
  const std::uint8_t* Image = nullptr;
  std::uint32_t Length = 0;
};

// The image of `kind`; {null, 0} when the build carries none.
TDriverImage EmbeddedDriverImage(TRwDrvData::TKind kind);
