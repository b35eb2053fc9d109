#include "gpio/ChipsetBase.h"

TChipsetBase::~TChipsetBase() = default;
TAbstractChipset::~TAbstractChipset() = default;
TIntelChipset::~TIntelChipset() = default;
