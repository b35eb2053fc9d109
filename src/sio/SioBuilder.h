#pragma once
// TSioBuilder: the process-wide factory of Super I/O objects. Its Detector runs the first
// detection pass; Build(port) answers with the object of the chip class the port's family
// code maps to, one object per class, built on first request.

#include <array>
#include <cstdint>
#include <memory>

#include "sio/AbstractSio.h"

// The chip classes, in the order of the builder's object slots.
enum class TSioClass : std::uint8_t {
  WinbondSio,
  W83667Sio,
  W83627Sio,
  W83627UHG,
  NuvotonSio,
  NCT6775Sio,
  NCT6776Sio,
  NCT6791DSio,
  NCT6683DSio,
  NCT6102DSio,
  Count
};

class TSioBuilder {
 public:
  static TSioBuilder& Instance();
  virtual ~TSioBuilder();

  // The object that drives the chip at `port`; never null. Sets CurrentConfigPort to `port`
  // and reads the hardware-monitor base again on every call.
  TAbstractSio* Build(std::uint8_t port);

  // The class a family code is served by (any code without one: TWinbondSio).
  static TSioClass ClassForFamily(std::uint16_t family);
  // Name of the class whose object `Build` hands out for that class slot ("TWinbondSio" for
  // the slots whose class is still served by the generic object).
  static const char* ClassName(TSioClass cls);
  // Name of the class the slot stands for ("TW83627UHG"), whether or not it is built yet.
  static const char* SlotName(TSioClass cls);
  // Whether the object Build hands out for the slot reads and writes pins (a chip model
  // with a GPIO register map), and whether its EnableGPIOGroup switches a bank.
  static bool HasPinMap(TSioClass cls);
  static bool HasGroupSwitch(TSioClass cls);
  // The object in a slot, or null when it was not requested yet.
  TAbstractSio* Object(TSioClass cls) const { return m_Objects[Index(cls)].get(); }

  std::unique_ptr<TSioBase> Detector;

 private:
  TSioBuilder();
  static void ResetInstance();
  static constexpr std::size_t Index(TSioClass cls) { return static_cast<std::size_t>(cls); }
  std::array<std::unique_ptr<TAbstractSio>, static_cast<std::size_t>(TSioClass::Count)> m_Objects;
};
