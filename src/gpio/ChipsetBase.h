#pragma once
// The chipset class chain shared by the Intel GPIO back ends: a hardware object
// (TChipsetBase), which is also a pin owner (TAbstractChipset), of Intel make
// (TIntelChipset). The I/O controller hub (TIch) and the Skylake platform controller hub
// (TSkylakePCH) derive from TIntelChipset and implement the pin operations.

#include "gpio/GpioBase.h"
#include "hwaccess/IoObject.h"

class TChipsetBase : public TIoObject {
 public:
  TChipsetBase() = default;
  ~TChipsetBase() override;
};

// ReadGPIO, WriteGPIO and EnableGPIOGroup stay abstract here.
class TAbstractChipset : public TChipsetBase, public TGpioBase {
 public:
  TAbstractChipset() = default;
  ~TAbstractChipset() override;
};

class TIntelChipset : public TAbstractChipset {
 public:
  TIntelChipset() = default;
  ~TIntelChipset() override;
};
