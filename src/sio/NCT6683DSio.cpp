#include "sio/NCT6683DSio.h"

#include "hwaccess/ReadWrite.h"

TNCT6683DSio::TNCT6683DSio(std::uint16_t requestedPort) : TNuvotonSio(requestedPort) {}

TNCT6683DSio::~TNCT6683DSio() = default;

void TNCT6683DSio::OpenWindow(std::uint8_t page, std::uint8_t index) {
  ReadWrite.WriteIoByte(static_cast<std::uint16_t>(HwmBase + kPageOffset), kNoPage);
  ReadWrite.WriteIoByte(static_cast<std::uint16_t>(HwmBase + kPageOffset), page);
  ReadWrite.WriteIoByte(static_cast<std::uint16_t>(HwmBase + kIndexOffset), index);
}

std::uint8_t TNCT6683DSio::ReadIoBaseGpio(std::uint8_t page, std::uint8_t index) {
  OpenWindow(page, index);
  const std::uint8_t value = ReadWrite.ReadIoByte(static_cast<std::uint16_t>(HwmBase + kDataOffset));
  ReadWrite.WriteIoByte(static_cast<std::uint16_t>(HwmBase + kPageOffset), kNoPage);
  return value;
}

void TNCT6683DSio::WriteIoBaseGpio(std::uint8_t page, std::uint8_t index, std::uint8_t value) {
  OpenWindow(page, index);
  ReadWrite.WriteIoByte(static_cast<std::uint16_t>(HwmBase + kDataOffset), value);
  ReadWrite.WriteIoByte(static_cast<std::uint16_t>(HwmBase + kPageOffset), kNoPage);
}
