// The board file's "chipset_gpio" section: the GPIO block of an Intel I/O controller hub and
// the pad configuration of a Skylake (100-series) platform controller hub
// (docs/board-file.md describes the format).

#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/BoardJson.h"
#include "sim/IchGpio.h"
#include "sim/SkylakePchPads.h"
#include "sim/VirtualBoard.h"

namespace {

constexpr std::uint16_t kLpcBridge = 0x1F << 3;  // 00:1f.0

std::string Text(const nlohmann::json& value, const std::string& what) {
  if (!value.is_string()) throw std::runtime_error(what + ": expected a text");
  return value.get<std::string>();
}

// The block sits where the LPC bridge's GPIOBASE points, as the hub decodes it: register 0x48,
// else 0x58, each usable only with bit 0 (I/O space) set and nothing outside bits 15:6.
std::uint16_t IchGpioBase(TVirtualBoard& board) {
  TPciFunction* lpc = board.PciFunction(kLpcBridge);
  if (lpc == nullptr)
    throw std::runtime_error("chipset_gpio.ich: the board has no LPC bridge at 00:1f.0");
  for (std::uint16_t reg : {0x48, 0x58}) {
    const std::uint32_t value = lpc->Read(reg, 4);
    if ((value & 1u) != 0 && (value & ~0xFFC1u) == 0) return static_cast<std::uint16_t>(value & 0xFFC0);
  }
  throw std::runtime_error(
      "chipset_gpio.ich: the LPC bridge's registers 0x48 and 0x58 name no GPIO base");
}

void ParseIch(TVirtualBoard& board, const nlohmann::json& ich) {
  const std::string what = "chipset_gpio.ich";
  board::CheckKeys(ich, what, {"name", "registers", "inputs_high", "comment"});
  const std::string name = ich.contains("name") ? Text(ich["name"], what + ".name") : "ICH";
  auto device = std::make_unique<TIchGpio>(name, IchGpioBase(board));
  if (ich.contains("registers")) {
    const nlohmann::json& regs = ich["registers"];
    if (!regs.is_object()) throw std::runtime_error(what + ".registers: expected an object");
    for (const auto& [key, value] : regs.items()) {
      const std::string where = what + ".registers." + key;
      const auto offset = board::Number(nlohmann::json(key), where, TIchGpio::kBlockSize - 4);
      if (offset % 4 != 0) throw std::runtime_error(where + ": registers are dwords at offsets of 4");
      device->SetRegister(static_cast<std::uint8_t>(offset),
                          static_cast<std::uint32_t>(board::Number(value, where, 0xFFFFFFFF)));
    }
  }
  if (ich.contains("inputs_high")) {
    const nlohmann::json& pins = ich["inputs_high"];
    if (!pins.is_array()) throw std::runtime_error(what + ".inputs_high: expected an array of pins");
    for (std::size_t i = 0; i < pins.size(); ++i) {
      const std::string where = what + ".inputs_high[" + std::to_string(i) + "]";
      const std::string pin = Text(pins[i], where);
      if (pin.rfind("GPIO", 0) != 0) throw std::runtime_error(where + ": expected GPIO<n>");
      device->SetInputLevel(static_cast<unsigned>(board::Number(nlohmann::json(pin.substr(4)), where,
                                                                TIchGpio::kPins - 1)),
                            true);
    }
  }
  board.AddPortDevice(std::move(device));
}

void ParsePch(TVirtualBoard& board, const nlohmann::json& pch) {
  const std::string what = "chipset_gpio.skylake_pch";
  board::CheckKeys(pch, what, {"name", "padbar", "pads", "inputs_high", "comment"});
  const std::string name = pch.contains("name") ? Text(pch["name"], what + ".name") : "Skylake PCH";
  std::uint32_t padBars[TSkylakePchCommunity::kCommunities];
  for (auto& bar : padBars) bar = TSkylakePchCommunity::kDefaultPadBar;
  if (pch.contains("padbar")) {
    const nlohmann::json& list = pch["padbar"];
    if (!list.is_array() || list.size() != TSkylakePchCommunity::kCommunities)
      throw std::runtime_error(what + ".padbar: expected the four communities' PADBARs");
    for (unsigned c = 0; c < TSkylakePchCommunity::kCommunities; ++c) {
      const std::string where = what + ".padbar[" + std::to_string(c) + "]";
      // The pad table has to fit the community's window, after PADBAR itself.
      const std::uint64_t max = TSkylakePchCommunity::kWindowSize - TSkylakePchCommunity::TableSize(c);
      padBars[c] = static_cast<std::uint32_t>(board::Number(list[c], where, max));
      if (padBars[c] < TSkylakePchCommunity::kPadBarRegister + 4 || padBars[c] % 8 != 0)
        throw std::runtime_error(where + ": a multiple of 8 past the PADBAR register");
    }
  }
  TSkylakePchCommunity* communities[TSkylakePchCommunity::kCommunities];
  for (unsigned c = 0; c < TSkylakePchCommunity::kCommunities; ++c) {
    communities[c] = static_cast<TSkylakePchCommunity*>(&board.AddMemoryDevice(
        TSkylakePchCommunity::Window(c), TSkylakePchCommunity::kWindowSize,
        std::make_unique<TSkylakePchCommunity>(name, c, padBars[c])));
  }
  auto holding = [&](const std::string& pad, const std::string& where) {
    for (TSkylakePchCommunity* community : communities) {
      for (const std::string& known : community->PadNames())
        if (known == pad) return community;
    }
    throw std::runtime_error(where + ": no pad \"" + pad + "\" (GPP_A_0 .. GPP_I_10)");
  };
  if (pch.contains("pads")) {
    const nlohmann::json& pads = pch["pads"];
    if (!pads.is_object()) throw std::runtime_error(what + ".pads: expected an object");
    for (const auto& [pad, value] : pads.items()) {
      const std::string where = what + ".pads." + pad;
      TSkylakePchCommunity* community = holding(pad, where);
      board::CheckKeys(value, where, {"dw0", "dw1", "mode"});
      std::uint32_t dw0 = static_cast<std::uint32_t>(
          board::NumberOr(value, "dw0", TSkylakePchCommunity::kDefaultDw0, where, 0xFFFFFFFF));
      const auto dw1 = static_cast<std::uint32_t>(board::NumberOr(value, "dw1", 0, where, 0xFFFFFFFF));
      if (value.contains("mode"))
        dw0 = (dw0 & ~(7u << 10)) |
              static_cast<std::uint32_t>(board::Number(value["mode"], where + ".mode", 7)) << 10;
      community->SetPad(pad, dw0, dw1);
    }
  }
  if (pch.contains("inputs_high")) {
    const nlohmann::json& pads = pch["inputs_high"];
    if (!pads.is_array()) throw std::runtime_error(what + ".inputs_high: expected an array of pads");
    for (std::size_t i = 0; i < pads.size(); ++i) {
      const std::string where = what + ".inputs_high[" + std::to_string(i) + "]";
      const std::string pad = Text(pads[i], where);
      holding(pad, where)->SetInputLevel(pad, true);
    }
  }
}

}  // namespace

void ParseChipsetGpioSection(TVirtualBoard& board, const nlohmann::json& section,
                             const std::filesystem::path& /*boardDir*/) {
  board::CheckKeys(section, "chipset_gpio", {"ich", "skylake_pch", "comment"});
  if (section.contains("ich")) ParseIch(board, section["ich"]);
  if (section.contains("skylake_pch")) ParsePch(board, section["skylake_pch"]);
}
