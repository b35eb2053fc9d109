#pragma once
// What gavreloctl checks before it lets a chipset GPIO owner touch the hardware, so that a
// command that cannot do its job says why instead of acting on, or printing, no data:
//   - the ICH owner needs a GPIO base in the LPC bridge (00:1f.0) register 0x48 or 0x58;
//   - the Skylake PCH owner writes and reads physical memory at addresses computed from
//     whatever the sideband window holds, so it runs only when the LPC bridge is an Intel
//     100-series PCH (or with --force), and only when its PADBARs could be read.
//
// The 100-series PCH list: vendor 0x8086, LPC/eSPI controller device IDs 0xA140 to 0xA15F.
// Source: the PCI ID Repository (pci.ids, Debian package "pci.ids"), which names every ID of
// that range "Sunrise Point-H LPC Controller", the production parts by chipset: H110 A143,
// H170 A144, Z170 A145, Q170 A146, Q150 A147, B150 A148, C236 A149, C232 A14A, QM170 A14D,
// HM170 A14E, CM236 A150, HM175 A152, QM175 A153, CM238 A154. The Sunrise Point-LP hubs of
// Skylake-U/Y (0x9D4x) are left out on purpose: they have no GPP_H or GPP_I and lay their
// groups out differently, so the fixed pad layout would reach other pads.

#include <cstdint>
#include <cstdio>
#include <string>

#include "gpio/Ich.h"
#include "gpio/SkylakePCH.h"
#include "hwaccess/ReadWrite.h"

inline constexpr std::uint16_t kIntelVendorId = 0x8086;
inline constexpr std::uint16_t kSunrisePointHFirstLpcId = 0xA140;
inline constexpr std::uint16_t kSunrisePointHLastLpcId = 0xA15F;

inline bool CtlIsSkylakePchLpc(std::uint32_t ids) {
  const auto vendor = static_cast<std::uint16_t>(ids & 0xFFFF);
  const auto device = static_cast<std::uint16_t>(ids >> 16);
  return vendor == kIntelVendorId && device >= kSunrisePointHFirstLpcId &&
         device <= kSunrisePointHLastLpcId;
}

// Why the Skylake PCH owner may not run, "" when it may.
inline std::string CtlSkylakePchRefusal(bool force) {
  const std::uint32_t ids = TReadWrite::Instance().ReadPciDword(0, 31, 0, 0);
  if (!force && !CtlIsSkylakePchLpc(ids)) {
    if (ids == 0xFFFFFFFF)
      return "no LPC bridge answers at 00:1f.0, so no Intel 100-series PCH is known to be "
             "there; its pad memory is not touched (--force to override)";
    char text[160];
    std::snprintf(text, sizeof text,
                  "the LPC bridge 00:1f.0 is %04x:%04x, no Intel 100-series PCH (8086:a140-a15f); "
                  "its pad memory is not touched (--force to override)",
                  ids & 0xFFFF, ids >> 16);
    return text;
  }
  TSkylakePCH probe;
  if (probe.m_PadAccessFailed)
    return "the PCH's PADBAR registers could not be read from the sideband window at 0xFD000000";
  return "";
}

// Why the ICH owner may not run, "" when it found its GPIO block.
inline std::string CtlIchRefusal() {
  TIch probe;
  if (probe.m_NoGpioBase == 0) return "";
  return "no ICH GPIO block: the LPC bridge 00:1f.0 names no I/O base in register 0x48 or 0x58";
}
