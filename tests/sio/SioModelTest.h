#pragma once
// Fixture of the chip model tests (the Winbond and Nuvoton model classes on the virtual
// board): a chip at 0x2E in a given register state with the object Build(0x2E) hands out,
// write cases checked access by access and register by register, read cases checked pin by
// pin, the order of a ReadGPIO call's accesses, and ReadGPIO checked against the board's own
// pins on random register states.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "diag/DebugConsole.h"
#include "sio/SioBuilder.h"
#include "ConfigAccess.h"
#include "SioTestBoard.h"

// A register of the chip: global (Ldn kGlobal) or of a logical device.
inline constexpr int kGlobal = -1;
struct TReg {
  int Ldn;
  std::uint8_t Reg;
  std::uint8_t Value;
};

struct TModel {
  const char* Name;  // the board's chip name (its GPIO layout)
  const char* Id;    // identification bytes from 0x20
  std::vector<TReg> Base;
};

inline TAccesses Join(std::initializer_list<TAccesses> parts) {
  TAccesses all;
  for (const TAccesses& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// WriteGPIOBits on a bank whose I/O-select and data registers hold 0 and whose inversion
// register holds 0xFF.
inline TAccesses Bits(std::uint8_t io, std::uint8_t data, std::uint8_t inv, std::uint8_t mask,
               std::uint8_t mode) {
  const auto cleared = static_cast<std::uint8_t>(0xFF & ~mask);
  if (mode == GPIO_INPUT) return {R(inv, 0xFF), W(inv, cleared), R(io, 0x00), W(io, mask)};
  if (mode != GPIO_OUTPUT_LOW && mode != GPIO_OUTPUT_HIGH) return {R(inv, 0xFF), W(inv, cleared)};
  return {R(inv, 0xFF), W(inv, cleared), R(io, 0x00), W(io, 0x00), R(data, 0x00),
          W(data, mode == GPIO_OUTPUT_HIGH ? mask : 0x00)};
}

// The registers after `accesses`, starting from `before`: each write lands in the global
// register or in the register of the device selected last.
inline TChipRegisters ApplyWrites(TChipRegisters regs, const TAccesses& accesses, std::uint8_t ldn) {
  for (const TConfigAccess& access : accesses) {
    if (!access.Write) continue;
    if (access.Reg == 0x07) ldn = access.Value;
    regs[access.Reg < 0x30 ? GlobalKey(access.Reg) : DeviceKey(ldn, access.Reg)] = access.Value;
  }
  return regs;
}

class SioModelTest : public SioBoardTest {
 protected:
  // A fresh board with the model's chip at 0x2E in its base state, and the object Build(0x2E)
  // hands out, with the trace cleared; with `console` the debug console writes to stdout.
  TAbstractSio& Start(const TModel& model, const std::vector<TReg>& extra = {},
                      bool console = false) {
    gavrelo::ResetProcessStateForTests();
    if (console) TDebugConsole::Instance(true);  // before the object takes its console
    LoadChip({{"name", model.Name},
              {"port", "0x2E"},
              {"keys", "winbond"},
              {"id", model.Id},
              {"devices", {{"0x0B", {{"registers", {{"0x60", "0x02"}, {"0x61", "0x90"}}}}}}}});
    for (const std::vector<TReg>* list : {&model.Base, &extra})
      for (const TReg& r : *list) {
        if (r.Ldn == kGlobal)
          Chip(0x2E).SetGlobal(r.Reg, r.Value);
        else
          Chip(0x2E).SetDevice(static_cast<std::uint8_t>(r.Ldn), r.Reg, r.Value);
      }
    TAbstractSio* sio = TSioBuilder::Instance().Build(0x2E);
    ClearTrace();
    return *sio;
  }
  std::string PinState(const std::string& pin) {
    const TSuperIoGpio::TPin* p = Chip(0x2E).Gpio()->Find(pin);
    return p == nullptr ? "no pin" : TSuperIoGpio::StateName(p->State);
  }

  struct TWriteCase {
    std::uint8_t Pin;
    std::uint8_t Mode;
    TAccesses Expected;
    std::string Moves;  // the state the board's pin ends in ("" for no pin)
  };
  void RunWrites(const TModel& model, const std::vector<TWriteCase>& cases) {
    for (const TWriteCase& c : cases) {
      SCOPED_TRACE(testing::Message() << model.Name << " pin " << int(c.Pin) << " mode 0x"
                                      << std::hex << int(c.Mode));
      TAbstractSio& sio = Start(model);
      const TChipRegisters before = ChipRegisters(Chip(0x2E));
      sio.WriteGPIO(c.Pin, c.Mode);
      const TAccesses accesses = ConfigAccesses(Cycles());
      EXPECT_EQ(accesses, c.Expected);
      // Nothing changed but what the accesses wrote.
      EXPECT_EQ(ChipRegisters(Chip(0x2E)), ApplyWrites(before, c.Expected, 0x0B));
      ExpectAllChipsLocked();
      if (!c.Moves.empty()) {
        const std::string name = TSuperIoGpio::PinName(c.Pin / 8u, c.Pin % 8u);
        EXPECT_EQ(PinState(name), c.Moves) << name;
      }
    }
  }

  struct TReadCase {
    const char* What;
    std::vector<TReg> Regs;
    std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> Expect;  // first pin, codes
    std::map<std::string, int> Inputs = {};
  };
  void RunReads(const TModel& model, const std::vector<TReadCase>& cases) {
    for (const TReadCase& c : cases) {
      SCOPED_TRACE(std::string(model.Name) + ": " + c.What);
      TAbstractSio& sio = Start({model.Name, model.Id, {}}, c.Regs);
      for (const auto& [pin, level] : c.Inputs) ASSERT_TRUE(Chip(0x2E).SetExternalLevel(pin, level));
      sio.ReadGPIO();
      for (const auto& [first, codes] : c.Expect)
        for (std::size_t i = 0; i < codes.size(); ++i)
          EXPECT_EQ(int(sio.GPIO[first + i]), int(codes[i])) << "pin " << first + i;
      ExpectAllChipsLocked();
    }
  }

  // The (register, selection) order of a ReadGPIO call: "W07=09" for a device selection,
  // "R30" for a read.
  std::vector<std::string> ReadOrder(TAbstractSio& sio) {
    ClearTrace();
    sio.ReadGPIO();
    std::vector<std::string> order;
    for (const TConfigAccess& a : ConfigAccesses(Cycles())) {
      char text[16];
      if (a.Write)
        std::snprintf(text, sizeof text, "W%02X=%02X", a.Reg, a.Value);
      else
        std::snprintf(text, sizeof text, "R%02X", a.Reg);
      order.push_back(text);
    }
    return order;
  }

  // The board's pins and ReadGPIO, written independently from the same register maps, agree
  // on every pin for `trials` register states drawn at random (a fixed seed: the same states
  // every run). `globals` and the registers 0x30 and 0xE0-0xFF of `devices` are drawn, and
  // the single device registers `more`.
  void ExpectReadGPIOAgreesWithPins(const TModel& model, const std::vector<std::uint8_t>& globals,
                                    const std::vector<std::uint8_t>& devices,
                                    const std::vector<std::pair<std::uint8_t, std::uint8_t>>& more,
                                    int trials, std::uint32_t seed);
};

inline constexpr std::uint8_t L = GPIO_OUTPUT_LOW, H = GPIO_OUTPUT_HIGH, IL = GPIO_INPUT_LOW,
                       IH = GPIO_INPUT_HIGH, N = GPIO_NOT_GPIO, NL = GPIO_NOT_GPIO_LOW,
                       NH = GPIO_NOT_GPIO_HIGH, D = GPIO_DISABLED;


inline void SioModelTest::ExpectReadGPIOAgreesWithPins(
    const TModel& model, const std::vector<std::uint8_t>& globals,
    const std::vector<std::uint8_t>& devices,
    const std::vector<std::pair<std::uint8_t, std::uint8_t>>& more, int trials,
    std::uint32_t seed) {
  std::mt19937 random(seed);
  for (int trial = 0; trial < trials; ++trial) {
    SCOPED_TRACE(testing::Message() << model.Name << " trial " << trial);
    std::vector<TReg> regs;
    // Sparse bits, so that single rules hold and fail in every combination.
    auto draw = [&] { return static_cast<std::uint8_t>(random() & random() & 0xFF); };
    for (std::uint8_t g : globals) regs.push_back({kGlobal, g, draw()});
    for (std::uint8_t ldn : devices) {
      regs.push_back({ldn, 0x30, static_cast<std::uint8_t>(random())});
      for (unsigned reg = 0xE0; reg <= 0xFF; ++reg)
        regs.push_back({ldn, static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(random())});
    }
    for (const auto& [ldn, reg] : more) regs.push_back({ldn, reg, static_cast<std::uint8_t>(random())});
    TAbstractSio& sio = Start({model.Name, model.Id, {}}, regs);
    sio.ReadGPIO();
    for (const TSuperIoGpio::TPin& pin : Chip(0x2E).Gpio()->Pins()) {
      const std::uint8_t code = sio.GPIO[pin.Bank * 8 + pin.Bit];
      const std::string state = TSuperIoGpio::StateName(pin.State);
      SCOPED_TRACE(pin.Name + " " + state + " code " + std::to_string(code));
      if (code == D) {
        EXPECT_TRUE(state == "input" || state == "not_gpio");  // a bank that is off drives nothing
      } else if (state == "not_gpio") {
        EXPECT_TRUE(code == NL || code == NH || code == N);
      } else if (state == "input") {
        EXPECT_EQ(code, pin.Level ? IH : IL);
      } else {
        EXPECT_EQ(code, state == "output_high" ? H : L);
      }
    }
  }
}
