#pragma once
// TNCT6683DSio: the Nuvoton NCT6683D. Its GPIO registers sit behind a paged window in I/O
// space at the base of logical device 0x0B (HwmBase): page register at the base, index at
// base + 1, data at base + 2. The pin test's slots stay the empty ones of TWinbondSio: the
// chip has no bank tables, so setting strings applied to it change nothing.

#include <cstdint>

#include "sio/NuvotonSio.h"

class TNCT6683DSio : public TNuvotonSio, public TIOBASEGpio {
 public:
  explicit TNCT6683DSio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TNCT6683DSio() override;

  // One access of the paged window, framed by 0xFF to the page register (no page open)
  // before and after it.
  std::uint8_t ReadIoBaseGpio(std::uint8_t page, std::uint8_t index) override;
  void WriteIoBaseGpio(std::uint8_t page, std::uint8_t index, std::uint8_t value) override;

  static constexpr std::uint8_t kNoPage = 0xFF;
  static constexpr std::uint16_t kPageOffset = 0;
  static constexpr std::uint16_t kIndexOffset = 1;
  static constexpr std::uint16_t kDataOffset = 2;

 private:
  // Opens `page` and selects `index`; the data port is next.
  void OpenWindow(std::uint8_t page, std::uint8_t index);
};
