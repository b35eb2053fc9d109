#include "hwaccess/DriverImages.h"

#ifndef GAVRELO_DRIVER_IMAGES
// This build runs its driver in-process and carries no image.
TDriverImage EmbeddedDriverImage(TRwDrvData::TKind) { return {}; }
#endif
