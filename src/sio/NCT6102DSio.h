#pragma once
// TNCT6102DSio: the GPIO banks of the Nuvoton NCT6102D (and NCT6104D/NCT6106D). All bank
// registers sit in logical device 7 — bank n: I/O select 0xE0 + 4n, data 0xE1 + 4n,
// inversion 0xE2 + 4n, activation bit n of 0x30 — and all multi-function registers in device
// 8 (0xE0 + n); the globals 0x1A to 0x1C and 0x27 route pins and banks. Of bank 7 only pin 57
// (GPIO71) is a GPIO. 64 pins. A pin write activates the bank and drives the pin; it changes
// no multi-function register.

#include <cstdint>

#include "sio/NuvotonSio.h"

class TNCT6102DSio : public TNuvotonSio {
 public:
  explicit TNCT6102DSio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TNCT6102DSio() override;

  void ReadGPIO() override;                                      // 22
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;  // 23
  // Logs "Group" with the bank number for every call, and "active2" after group 2.
  void EnableGPIOGroup(std::uint8_t Pin) override;               // 24
};
