#pragma once
// TNCT6791DSio: the GPIO banks of the Nuvoton NCT6791D. Banks 0 and 1 sit in logical device
// 8, banks 2 to 5 in device 9, banks 6 to 8 in device 7; most pins can serve other functions,
// chosen by the globals 0x1A to 0x1D and 0x27 to 0x2F (and, for two pins of bank 5, register
// 0xE6 of device 0x0B), so a pin write switches the pin's own routing bits before it drives
// the pin, and a group switch routes a whole bank. Banks 3 and 7 have seven pins. 72 pins.

#include <cstdint>

#include "sio/NuvotonSio.h"

class TNCT6791DSio : public TNuvotonSio {
 public:
  explicit TNCT6791DSio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TNCT6791DSio() override;

  void ReadGPIO() override;                                      // 22
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;  // 23
  // Logs "Group" with the bank number for every call.
  void EnableGPIOGroup(std::uint8_t Pin) override;               // 24
};
