#pragma once
// TNCT6776Sio: the GPIO banks of the Nuvoton NCT6776F. The enables of banks 1 to 7 sit in
// logical device 9 (bits 1 to 7 of its register 0x30), those of banks 0 and 10 in device 8,
// those of banks 8 and 9 in device 7, while the bank registers are spread over devices 8, 9,
// 7 and 0x17; many pins are routed by globals 0x1A to 0x1C and 0x27 to 0x2F. 88 pins; bank
// 10 (GPIOA0-GPIOA7) is read and listed but cannot be named in a setting string, and is not
// written.

#include <cstdint>

#include "sio/NuvotonSio.h"

class TNCT6776Sio : public TNuvotonSio {
 public:
  explicit TNCT6776Sio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TNCT6776Sio() override;

  void ReadGPIO() override;                                      // 22
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;  // 23
};
