#pragma once
// A Super I/O chip on the virtual board: the configuration index/data port pair, the vendor's
// key protocol that opens and closes configuration mode, the global registers 0x00-0x2F and
// the per-device registers 0x30-0xFF of each logical device selected through register 0x07.
//
// As on a real chip, a locked chip ignores data-port writes and reads 0xFF on its data (and
// index) port; index-port writes then only feed the key detector. Every change of the lock
// state and of the selected logical device is recorded as an event in the board's trace, and
// the end-of-run report says whether the chip was left unlocked.
//
// A chip whose name has a GPIO layout (sim/SuperIoGpio.h) has pins: their states are
// recomputed after every data-port write, and each change is a "pin" event in the trace.

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "sim/PortDevice.h"
#include "sim/SuperIoGpio.h"

class TSuperIoChip : public TPortDevice {
 public:
  // How configuration mode is entered and left.
  enum class TKeyProtocol {
    Winbond,  // 0x87 0x87 to the index port opens, 0xAA closes (Winbond, Nuvoton, FinTek)
    Ite,      // 0x87 0x01 0x55 then 0x55 (at 0x2E) or 0xAA (at 0x4E); bit 1 of 0x02 closes
    Smsc,     // 0x55 opens, 0xAA closes
    None,     // ITE embedded controllers: always open, no keys
  };

  // Attaches the GPIO layout of the model `name`, if there is one, adding the logical
  // devices it names.
  TSuperIoChip(std::string name, std::uint16_t indexPort, TKeyProtocol protocol);
  ~TSuperIoChip() override;

  std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const override;
  std::uint32_t Read(std::uint16_t port, unsigned width) override;
  void Write(std::uint16_t port, unsigned width, std::uint32_t value) override;
  std::string Name() const override;
  nlohmann::json Report() const override;

  // Set-up (board file) and inspection (tests, reports); none of these is a port cycle.
  void SetGlobal(std::uint8_t reg, std::uint8_t value, bool readOnly = false);
  // Adds the logical device if it is not there yet.
  void SetDevice(std::uint8_t ldn, std::uint8_t reg, std::uint8_t value, bool readOnly = false);
  void AddDevice(std::uint8_t ldn);
  void SetUnlocked(bool unlocked) { m_Unlocked = unlocked || m_Protocol == TKeyProtocol::None; }

  bool Unlocked() const { return m_Unlocked; }
  bool HasDevice(std::uint8_t ldn) const { return m_Devices.count(ldn) != 0; }
  std::uint8_t Global(std::uint8_t reg) const { return reg < 0x30 ? m_Global[reg] : 0xFF; }
  // 0xFF for a device the chip does not have.
  std::uint8_t Device(std::uint8_t ldn, std::uint8_t reg) const;
  std::uint8_t SelectedDevice() const { return m_Global[0x07]; }
  std::uint16_t IndexPort() const { return m_IndexPort; }
  TKeyProtocol Protocol() const { return m_Protocol; }
  // Logical devices with their register 0x30 (activation bits), in LDN order.
  std::map<std::uint8_t, std::uint8_t> DeviceActivation() const;

  // The chip's pins, or null when its model has no GPIO layout.
  TSuperIoGpio* Gpio() { return m_Gpio.get(); }
  const TSuperIoGpio* Gpio() const { return m_Gpio.get(); }
  // Set-up: the level the outside drives onto a pin (0 or 1). False for an unknown pin.
  bool SetExternalLevel(std::string_view pin, int level);

  static const char* ProtocolName(TKeyProtocol protocol);
  // The end-of-run check: names ("superio W83627UHG @0x2E") of the board's chips that are
  // still in configuration mode.
  static std::vector<std::string> LeftUnlocked(const TVirtualBoard& board);

 private:
  struct TDevice {
    std::array<std::uint8_t, 0xD0> Regs{};  // 0x30..0xFF
    std::bitset<0xD0> ReadOnly;
  };

  void WriteIndex(std::uint8_t value);
  void WriteData(std::uint8_t value);
  std::uint8_t ReadData() const;
  void Lock(const char* how);
  void Unlock();
  void Event(const nlohmann::json& state);
  // Recomputes the pins; `record` writes a pin event per change (configuration writes do,
  // set-up does not).
  void UpdatePins(bool record);

  std::string m_Name;
  std::uint16_t m_IndexPort;
  TKeyProtocol m_Protocol;
  bool m_Unlocked = false;
  unsigned m_KeyStep = 0;  // bytes of the key sequence seen so far while locked
  std::uint8_t m_Index = 0;
  std::array<std::uint8_t, 0x30> m_Global{};
  std::bitset<0x30> m_GlobalReadOnly;
  std::map<std::uint8_t, TDevice> m_Devices;
  std::unique_ptr<TSuperIoGpio> m_Gpio;
};
