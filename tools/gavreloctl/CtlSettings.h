#pragma once
// What the pin model derives from a setting list, setting by setting, as gavreloctl shows it
// (gpio parse, ini): {"setting", "accepted", and "pin_index", "mode", "state" when it names a pin,
// or "reason" when it was rejected}. A setting with "::" is accepted and names nothing.
// With `stopAtRejected` the list ends at the first rejected setting, as ApplyGPIOSetting
// stops there.

#include <string>

#include <nlohmann/json.hpp>

#include "gpio/GpioBase.h"

nlohmann::json CtlParseSettings(TGpioBase& owner, const std::wstring& settings, bool stopAtRejected);
