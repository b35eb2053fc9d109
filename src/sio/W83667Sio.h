#pragma once
// TW83667Sio: the GPIO banks of the Winbond W83667HG (and HG-A). Bank 1 sits in logical device
// 8, banks 2 to 5 in device 9, banks 6 to 9 in device 7; each device has multi-function
// registers whose set bits give single pins to other functions, and globals 0x24, 0x27 and
// 0x29 to 0x2C route pins and whole banks.

#include <cstdint>

#include "sio/WinbondSio.h"

class TW83667Sio : public TWinbondSio {
 public:
  // Logs "Build W83667 SIO" and "Fan Config = " with the number of fan inputs.
  explicit TW83667Sio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TW83667Sio() override;

  void ReadGPIO() override;                                      // 22
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;  // 23
  // The three fan inputs of this chip. Only called on a constructed object; construction
  // runs TWinbondSio's map (five inputs).
  void BuildFanMap() override;                                   // 28
};
