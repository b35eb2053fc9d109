#pragma once
// The GPIO communities of an Intel 100-series (Skylake, Sunrise Point-H) platform controller
// hub on the virtual board: one memory device per community in the sideband window, at
// 0xFD000000 + sideband port x 0x10000 (ports 0xAF, 0xAE, 0xAD, 0xAC for communities 0-3),
// 64 KiB each.
//
// In each window, register 0x0C is PADBAR (read-only): the offset of the pad configuration
// table, 8 bytes per pad (DW0 then DW1), groups in order:
//   community 0: GPP_A (24 pads), GPP_B (24)
//   community 1: GPP_C (24), GPP_D (24), GPP_E (13), GPP_F (24), GPP_G (24), GPP_H (24)
//   community 2: no pad group modelled (its PADBAR is there)
//   community 3: GPP_I (11)
// Every other offset of the window reads 0 and ignores writes.
//
// DW0: bit 0 TX state (output level), bit 1 RX state (read-only: the level on the pad while
// the input buffer is on, 0 while it is off), bit 8 TX disable, bit 9 RX disable, bits 12:10
// pad mode (0 = GPIO), bit 23 RX invert; the other bits are kept as written. A pad in GPIO
// mode with its output buffer on drives its TX state; every other pad sees the level the
// board sets from outside (SetInputLevel; low by default). DW1 is plain storage.
//
// Each write that changes a pad's state or level records a `pin` event: owner "pch", the pad
// named GPP_<group>_<n>, "port" the community's sideband port, "address" the pad's DW0.
// States: "output_low"/"output_high" (GPIO mode, output buffer on), "input" (GPIO mode, only
// the input buffer on), "disabled" (GPIO mode, both buffers off), "not_gpio" (a native mode).

#include <cstdint>
#include <string>
#include <vector>

#include "sim/MemoryDevice.h"

class TVirtualBoard;

class TSkylakePchCommunity : public TMemoryDevice {
 public:
  static constexpr unsigned kCommunities = 4;
  static constexpr std::uint64_t kWindowSize = 0x10000;
  static constexpr std::uint32_t kPadBarRegister = 0x0C;
  static constexpr std::uint32_t kDefaultPadBar = 0x400;
  static constexpr std::uint32_t kDefaultDw0 = 0x44000100;  // GPIO mode, an input

  // The window of a community (0..3).
  static std::uint64_t Window(unsigned community);
  // Bytes of pad configuration in a community (pads x 8).
  static std::uint32_t TableSize(unsigned community);

  // `chip` names the hub in the trace ("Z170"). Every pad starts as kDefaultDw0, DW1 0.
  TSkylakePchCommunity(std::string chip, unsigned community, std::uint32_t padBar);

  std::uint32_t Read(std::uint64_t offset, unsigned width) override;
  void Write(std::uint64_t offset, unsigned width, std::uint32_t value) override;
  std::string Name() const override;

  // Set-up and inspection by pad name ("GPP_B_12"); false when the pad is not in this
  // community. No trace event.
  bool SetPad(const std::string& pad, std::uint32_t dw0, std::uint32_t dw1);
  bool SetInputLevel(const std::string& pad, bool high);
  // DW0 as a read returns it (with the RX state), or all ones for a pad not in this community.
  std::uint32_t Dw0(const std::string& pad) const;
  std::uint32_t Dw1(const std::string& pad) const;
  std::uint32_t PadBar() const { return m_PadBar; }
  const std::vector<std::string>& PadNames() const { return m_Names; }

  // The community device of `board` that holds `pad`, or null.
  static TSkylakePchCommunity* Holding(TVirtualBoard& board, const std::string& pad);

 private:
  struct TPad {
    std::uint32_t Dw0 = kDefaultDw0;
    std::uint32_t Dw1 = 0;
    bool Input = false;  // level from outside
  };
  int Find(const std::string& pad) const;
  std::uint32_t ReadDword(std::uint32_t offset) const;
  void WriteDword(std::uint32_t offset, std::uint32_t value);
  std::uint32_t ComposedDw0(const TPad& pad) const;
  const char* State(const TPad& pad) const;
  int Level(const TPad& pad) const;

  std::string m_Chip;
  unsigned m_Community;
  std::uint32_t m_PadBar;
  std::vector<TPad> m_Pads;
  std::vector<std::string> m_Names;
};
