#pragma once
// TNCT6775Sio: the GPIO banks of the Nuvoton NCT6775F (and NCT6771F). Banks 0 and 1 sit in
// logical device 8, banks 2 to 5 in device 9, banks 6 to 9 in device 7; each device has
// multi-function registers whose set bits give single pins to other functions, and globals
// 0x27, 0x29 and 0x2A to 0x2F route pins and whole banks. 80 pins.

#include <cstdint>

#include "sio/NuvotonSio.h"

class TNCT6775Sio : public TNuvotonSio {
 public:
  explicit TNCT6775Sio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TNCT6775Sio() override;

  void ReadGPIO() override;                                      // 22
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;  // 23
};
