// The board file's "superio" section: the Super I/O chips of the board and their hardware
// monitors (docs/board-file.md describes the format).

#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/BoardJson.h"
#include "sim/HardwareMonitor.h"
#include "sim/PagedRegisterWindow.h"
#include "sim/SuperIoChip.h"
#include "sim/VirtualBoard.h"

namespace {

constexpr std::size_t kMaxChips = 8;  // more configuration ports than any board decodes

// A misspelt field would otherwise be ignored silently and the chip built without it.
void CheckKeys(const nlohmann::json& object, const std::string& what,
               std::initializer_list<const char*> known) {
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (const char* k : known) found = found || key == k;
    if (!found) throw std::runtime_error(what + ": unknown field \"" + key + "\"");
  }
}

TSuperIoChip::TKeyProtocol Protocol(const nlohmann::json& value, const std::string& what) {
  if (!value.is_string()) throw std::runtime_error(what + ": expected a key protocol name");
  const std::string name = value.get<std::string>();
  if (name == "winbond" || name == "nuvoton" || name == "fintek")
    return TSuperIoChip::TKeyProtocol::Winbond;
  if (name == "ite") return TSuperIoChip::TKeyProtocol::Ite;
  if (name == "smsc") return TSuperIoChip::TKeyProtocol::Smsc;
  if (name == "none") return TSuperIoChip::TKeyProtocol::None;
  throw std::runtime_error(what + ": unknown key protocol \"" + name +
                           "\" (winbond, nuvoton, fintek, ite, smsc, none)");
}

// {"0x30": "0x01", ...} -> calls set(reg, value).
template <class F>
void Registers(const nlohmann::json& object, const std::string& what, unsigned first,
               unsigned last, F set) {
  if (!object.is_object()) throw std::runtime_error(what + ": expected an object of registers");
  for (const auto& [key, value] : object.items()) {
    const std::string where = what + "." + key;
    const auto reg = board::Number(nlohmann::json(key), where, 0xFF);
    if (reg < first || reg > last)
      throw std::runtime_error(where + ": register outside " + std::to_string(first) + ".." +
                               std::to_string(last));
    set(static_cast<std::uint8_t>(reg),
        static_cast<std::uint8_t>(board::Number(value, where, 0xFF)));
  }
}

template <class F>
void RegisterList(const nlohmann::json& list, const std::string& what, F mark) {
  if (!list.is_array()) throw std::runtime_error(what + ": expected an array of registers");
  for (std::size_t i = 0; i < list.size(); ++i)
    mark(static_cast<std::uint8_t>(
        board::Number(list[i], what + "[" + std::to_string(i) + "]", 0xFF)));
}

void ParseChip(TVirtualBoard& board, const nlohmann::json& chip, const std::string& what) {
  if (!chip.is_object()) throw std::runtime_error(what + ": expected an object");
  CheckKeys(chip, what,
            {"name", "port", "keys", "id", "global", "read_only", "devices", "unlocked", "hwm",
             "inputs"});
  if (!chip.contains("name") || !chip["name"].is_string())
    throw std::runtime_error(what + ".name: expected a text");
  if (!chip.contains("port")) throw std::runtime_error(what + ".port: missing");
  if (!chip.contains("keys")) throw std::runtime_error(what + ".keys: missing");
  const std::string name = chip["name"].get<std::string>();
  const auto port = static_cast<std::uint16_t>(board::Number(chip["port"], what + ".port", 0xFFFE));
  auto device = std::make_unique<TSuperIoChip>(name, port, Protocol(chip["keys"], what + ".keys"));
  TSuperIoChip& sio = *device;

  // ID bytes from register 0x20 up; read-only as on the real chip.
  if (chip.contains("id")) {
    const std::vector<std::uint8_t> id = board::Bytes(chip["id"], what + ".id");
    if (id.size() > 0x10) throw std::runtime_error(what + ".id: at most 16 bytes (0x20..0x2F)");
    for (std::size_t i = 0; i < id.size(); ++i)
      sio.SetGlobal(static_cast<std::uint8_t>(0x20 + i), id[i], true);
  }
  if (chip.contains("global"))
    Registers(chip["global"], what + ".global", 0x00, 0x2F,
              [&](std::uint8_t reg, std::uint8_t value) { sio.SetGlobal(reg, value); });
  if (chip.contains("read_only"))
    RegisterList(chip["read_only"], what + ".read_only", [&](std::uint8_t reg) {
      if (reg >= 0x30) throw std::runtime_error(what + ".read_only: global registers only");
      sio.SetGlobal(reg, sio.Global(reg), true);
    });
  if (chip.contains("devices")) {
    const nlohmann::json& devices = chip["devices"];
    if (!devices.is_object()) throw std::runtime_error(what + ".devices: expected an object");
    for (const auto& [key, device] : devices.items()) {
      const std::string where = what + ".devices." + key;
      const auto ldn = static_cast<std::uint8_t>(board::Number(nlohmann::json(key), where, 0xFF));
      if (!device.is_object()) throw std::runtime_error(where + ": expected an object");
      CheckKeys(device, where, {"registers", "read_only"});
      sio.AddDevice(ldn);
      if (device.contains("registers"))
        Registers(device["registers"], where + ".registers", 0x30, 0xFF,
                  [&](std::uint8_t reg, std::uint8_t value) { sio.SetDevice(ldn, reg, value); });
      if (device.contains("read_only"))
        RegisterList(device["read_only"], where + ".read_only", [&](std::uint8_t reg) {
          if (reg < 0x30) throw std::runtime_error(where + ".read_only: registers 0x30..0xFF only");
          sio.SetDevice(ldn, reg, sio.Device(ldn, reg), true);
        });
    }
  }
  if (chip.contains("inputs")) {
    // {"GPIO12": 0, ...}: the level the outside drives onto each named pin.
    const nlohmann::json& inputs = chip["inputs"];
    if (!inputs.is_object()) throw std::runtime_error(what + ".inputs: expected an object of pins");
    if (sio.Gpio() == nullptr) {
      std::string known;
      for (const std::string& model : SioGpioLayoutNames()) known += (known.empty() ? "" : ", ") + model;
      throw std::runtime_error(what + ".inputs: chip \"" + name + "\" has no GPIO layout (" + known + ")");
    }
    for (const auto& [pin, level] : inputs.items()) {
      const std::string where = what + ".inputs." + pin;
      const auto value = board::Number(level, where, 1);
      if (!sio.SetExternalLevel(pin, static_cast<int>(value)))
        throw std::runtime_error(where + ": the chip has no such pin");
    }
  }
  if (chip.contains("unlocked")) {
    if (!chip["unlocked"].is_boolean()) throw std::runtime_error(what + ".unlocked: expected true or false");
    sio.SetUnlocked(chip["unlocked"].get<bool>());
  }

  std::unique_ptr<THardwareMonitor> hwm;
  std::unique_ptr<TPagedRegisterWindow> window;
  if (chip.contains("hwm")) {
    const nlohmann::json& monitor = chip["hwm"];
    if (!monitor.is_object()) throw std::runtime_error(what + ".hwm: expected an object");
    CheckKeys(monitor, what + ".hwm", {"banks", "read_only", "pages"});
    // The monitor sits at the base that logical device 0x0B's registers 0x60/0x61 hold.
    if (!sio.HasDevice(0x0B))
      throw std::runtime_error(what + ".hwm: the chip has no logical device 0x0B");
    const auto base = static_cast<std::uint16_t>(sio.Device(0x0B, 0x60) << 8 | sio.Device(0x0B, 0x61));
    if (base > 0xFFF9) throw std::runtime_error(what + ".hwm: base address out of range");
    hwm = std::make_unique<THardwareMonitor>(name, base);
    // A model with a paged register window has it at the same base (base .. base + 2).
    if (TPagedRegisterWindow::ModelHasWindow(name))
      window = std::make_unique<TPagedRegisterWindow>(name, base);
    if (monitor.contains("pages")) {
      // {"page": {"index": value, ...}, ...}
      if (!window) throw std::runtime_error(what + ".hwm.pages: chip \"" + name + "\" has no paged window (NCT6683D)");
      const nlohmann::json& pages = monitor["pages"];
      if (!pages.is_object()) throw std::runtime_error(what + ".hwm.pages: expected an object");
      for (const auto& [key, regs] : pages.items()) {
        const std::string where = what + ".hwm.pages." + key;
        const auto page = board::Number(nlohmann::json(key), where, 0xFE);
        Registers(regs, where, 0x00, 0xFF, [&](std::uint8_t index, std::uint8_t value) {
          window->SetRegister(static_cast<std::uint8_t>(page), index, value);
        });
      }
    }
    if (monitor.contains("banks")) {
      const nlohmann::json& banks = monitor["banks"];
      if (!banks.is_object()) throw std::runtime_error(what + ".hwm.banks: expected an object");
      for (const auto& [key, regs] : banks.items()) {
        const std::string where = what + ".hwm.banks." + key;
        const auto bank = static_cast<std::uint8_t>(board::Number(nlohmann::json(key), where, 0x0F));
        Registers(regs, where, 0x00, 0xFF, [&](std::uint8_t reg, std::uint8_t value) {
          hwm->SetRegister(bank, reg, value);
        });
      }
    }
    if (monitor.contains("read_only")) {
      // ["bank:reg", ...]
      const nlohmann::json& list = monitor["read_only"];
      if (!list.is_array()) throw std::runtime_error(what + ".hwm.read_only: expected an array");
      for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string where = what + ".hwm.read_only[" + std::to_string(i) + "]";
        if (!list[i].is_string()) throw std::runtime_error(where + ": expected \"bank:register\"");
        const std::string text = list[i].get<std::string>();
        const auto colon = text.find(':');
        if (colon == std::string::npos) throw std::runtime_error(where + ": expected \"bank:register\"");
        const auto bank = static_cast<std::uint8_t>(board::Number(nlohmann::json(text.substr(0, colon)), where, 0x0F));
        const auto reg = static_cast<std::uint8_t>(board::Number(nlohmann::json(text.substr(colon + 1)), where, 0xFF));
        hwm->SetRegister(bank, reg, hwm->Register(bank, reg), true);
      }
    }
  }

  board.AddPortDevice(std::move(device));
  if (hwm) board.AddPortDevice(std::move(hwm));
  if (window) board.AddPortDevice(std::move(window));
}

}  // namespace

void ParseSuperIoSection(TVirtualBoard& board, const nlohmann::json& section,
                         const std::filesystem::path& /*boardDir*/) {
  if (!section.is_object() || !section.contains("chips") || !section["chips"].is_array())
    throw std::runtime_error("superio.chips: expected an array of chips");
  CheckKeys(section, "superio", {"chips"});
  const nlohmann::json& chips = section["chips"];
  if (chips.size() > kMaxChips)
    throw std::runtime_error("superio.chips: at most " + std::to_string(kMaxChips) + " chips");
  for (std::size_t i = 0; i < chips.size(); ++i)
    ParseChip(board, chips[i], "superio.chips[" + std::to_string(i) + "]");
}
