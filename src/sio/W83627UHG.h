#pragma once
// TW83627UHG: the GPIO banks of the Winbond W83627UHG. Banks 1 and 2 sit in logical device 9,
// banks 3 and 4 in device 7, banks 5 and 6 in device 8; banks 3 to 6 share their pins with
// the serial ports C to F (logical devices 6, 0x0D, 0x0E, 0x0F), global 0x2C multiplexes
// bank 1, and global 0x2A with LDN 0x0B register 0xF2 multiplex bank 2.

#include <cstdint>

#include "sio/WinbondSio.h"

class TW83627UHG : public TWinbondSio {
 public:
  explicit TW83627UHG(std::uint16_t requestedPort = kNoRequestedPort);
  ~TW83627UHG() override;

  void ReadGPIO() override;                                      // 22
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;  // 23
  // Logs "Group" with the bank number, then sets the bank's activation bit only: serial ports
  // and multi-function registers are left alone.
  void EnableGPIOGroup(std::uint8_t Pin) override;               // 24
};
