#pragma once
// TW83627Sio: the GPIO banks of the Winbond W83627DHG and W83627EHF/EHG (the table rows whose
// family tag is "W627"). Banks 1 and 6 sit in logical device 7, banks 2 to 5 in logical
// device 9; global 0x29 routes banks 1 and 6 to GPIO, global 0x2C and 0x2D multiplex pins
// of banks 3 to 5 with other functions.

#include <cstdint>

#include "sio/WinbondSio.h"

class TW83627Sio : public TWinbondSio {
 public:
  explicit TW83627Sio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TW83627Sio() override;

  void ReadGPIO() override;                                   // 22
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;  // 23
};
