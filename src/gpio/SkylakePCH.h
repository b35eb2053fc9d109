#pragma once
// TSkylakePCH: the general-purpose pads of an Intel 100-series (Skylake) platform controller
// hub. Each pad has two 32-bit configuration words (DW0, DW1) in the private configuration
// space of its GPIO community, reached through the sideband register window at physical
// address 0xFD000000 (community window = 0xFD000000 + sideband port x 0x10000).
//
// Pads are grouped GPP_A .. GPP_I. Settings name a pad "GPIO" + group letter + pad number
// (GPIOB12), listings and logs "GPP_" + letter + "_" + number (GPP_B_12). Pin index =
// group index x 24 + pad number.
//
// The object does not check that the machine has this hub: on other hardware the PADBAR
// reads return whatever the addresses hold. Callers that must not write memory blindly
// check the LPC bridge's device ID first (gavreloctl does).
//
// Two guards beyond the plain read-modify-write:
//   - a pad whose DW0 read failed is not written back: the all-ones value of the failed
//     read would set the pad mode, the reset configuration and every other field of it;
//   - a block read that failed leaves all ones in its buffer (the failure value of a memory
//     read), so every pad of it decodes as a native function (0x13), never as stale data.
// m_PadAccessFailed records such failures for callers that report them.

#include <cstdint>
#include <string>
#include <vector>

#include "gpio/ChipsetBase.h"

class TSkylakePCH : public TIntelChipset {
 public:
  // Reads the four PADBARs, logs them and builds the group tables.
  TSkylakePCH();
  ~TSkylakePCH() override;

  bool InterpretGPIOString(const std::wstring& token, std::uint8_t& Pin,
                           std::uint8_t& Mode) override;
  void ReadGPIO() override;
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;
  void EnableGPIOGroup(std::uint8_t Pin) override;  // nothing to switch on this hub
  void ListGPIOState(std::vector<std::wstring>& lines) override;

  // WriteGPIO with the result of the pad write (false also when the pad's DW0 could not be
  // read, or the pin names no pad).
  bool WritePad(std::uint8_t Pin, std::uint8_t Mode);

  static constexpr int kGroups = 9;         // GPP_A .. GPP_I
  static constexpr int kPadsPerIndex = 24;  // pin index = group x 24 + pad
  static constexpr std::uint64_t kSidebandBase = 0xFD000000;
  // Pads of each group, A to I.
  static constexpr std::uint8_t kGroupPads[kGroups] = {24, 24, 24, 24, 13, 24, 24, 24, 11};
  // "GPP_" + letter + "_" + pad; "" for an index that names no pad.
  static std::wstring PadName(std::uint8_t Pin);

  std::uint32_t m_PadBar[4] = {};
  std::uint32_t m_GroupOffset[kGroups] = {};
  std::uint32_t m_GroupAddress[kGroups] = {};

  // Set when a PADBAR, block or pad read, or a pad write, failed.
  bool m_PadAccessFailed = false;
};
