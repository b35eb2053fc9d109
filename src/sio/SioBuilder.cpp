#include "sio/SioBuilder.h"

#include "diag/ProcessState.h"
#include "sio/NCT6102DSio.h"
#include "sio/NCT6683DSio.h"
#include "sio/NCT6775Sio.h"
#include "sio/NCT6776Sio.h"
#include "sio/NCT6791DSio.h"
#include "sio/NuvotonSio.h"
#include "sio/W83627Sio.h"
#include "sio/W83627UHG.h"
#include "sio/W83667Sio.h"
#include "sio/WinbondSio.h"

namespace {

// Family code -> class. Codes not listed are served by TWinbondSio.
struct TFamilyClass {
  std::uint16_t Family;
  TSioClass Class;
};

constexpr TFamilyClass kFamilyClasses[] = {
    {SIO_NONE, TSioClass::WinbondSio},       {SIO_WINBOND, TSioClass::WinbondSio},
    {SIO_W83667, TSioClass::W83667Sio},      {SIO_W83627, TSioClass::W83627Sio},
    {SIO_W83627UHG, TSioClass::W83627UHG},   {SIO_NUVOTON, TSioClass::NuvotonSio},
    {SIO_NCT6776F, TSioClass::NCT6776Sio},   {SIO_NCT6775F, TSioClass::NCT6775Sio},
    {SIO_NCT6791D, TSioClass::NCT6791DSio},  {SIO_NCT6683D, TSioClass::NCT6683DSio},
    {SIO_NCT610X, TSioClass::NCT6102DSio},   {SIO_ITE, TSioClass::WinbondSio},
};

// The object of class T for `port`: its construction (detection pass, then the class's own
// register accesses) runs at that port.
template <class T>
std::unique_ptr<TAbstractSio> Make(std::uint16_t port) {
  return std::make_unique<T>(port);
}

// Class slot -> how its object is made. A slot whose model class is not part of the build
// would be served by the generic TWinbondSio (whose GPIO slots touch no register), so the pin
// test on such a board does nothing rather than drive a pin through a register map it does
// not have; every slot has its own class now. Adding a class is replacing its row here.
struct TClassMaker {
  const char* Slot;   // the class the slot stands for
  const char* Built;  // the class actually constructed for it
  std::unique_ptr<TAbstractSio> (*Construct)(std::uint16_t port);
  unsigned Gpio = 0;  // kPinMap, kGroupSwitch: what the constructed class does with pins
};
constexpr unsigned kPinMap = 1;
constexpr unsigned kGroupSwitch = 2;

constexpr TClassMaker kMakers[] = {
    {"TWinbondSio", "TWinbondSio", &Make<TWinbondSio>},
    {"TW83667Sio", "TW83667Sio", &Make<TW83667Sio>, kPinMap},
    {"TW83627Sio", "TW83627Sio", &Make<TW83627Sio>, kPinMap},
    {"TW83627UHG", "TW83627UHG", &Make<TW83627UHG>, kPinMap | kGroupSwitch},
    {"TNuvotonSio", "TNuvotonSio", &Make<TNuvotonSio>},
    {"TNCT6775Sio", "TNCT6775Sio", &Make<TNCT6775Sio>, kPinMap},
    {"TNCT6776Sio", "TNCT6776Sio", &Make<TNCT6776Sio>, kPinMap},
    {"TNCT6791DSio", "TNCT6791DSio", &Make<TNCT6791DSio>, kPinMap | kGroupSwitch},
    {"TNCT6683DSio", "TNCT6683DSio", &Make<TNCT6683DSio>},  // paged window only, no pin map
    {"TNCT6102DSio", "TNCT6102DSio", &Make<TNCT6102DSio>, kPinMap | kGroupSwitch},
};
static_assert(sizeof(kMakers) / sizeof(kMakers[0]) == static_cast<std::size_t>(TSioClass::Count));

TSioBuilder* g_instance = nullptr;

}  // namespace

TSioBuilder& TSioBuilder::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TSioBuilder();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TSioBuilder::ResetInstance);
  }
  return *g_instance;
}

void TSioBuilder::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TSioBuilder::TSioBuilder() : Detector(std::make_unique<TSioBase>()) {}

TSioBuilder::~TSioBuilder() = default;

TSioClass TSioBuilder::ClassForFamily(std::uint16_t family) {
  for (const TFamilyClass& entry : kFamilyClasses)
    if (entry.Family == family) return entry.Class;
  return TSioClass::WinbondSio;
}

const char* TSioBuilder::ClassName(TSioClass cls) {
  const std::size_t index = Index(cls);
  return index < static_cast<std::size_t>(TSioClass::Count) ? kMakers[index].Built : "";
}

bool TSioBuilder::HasPinMap(TSioClass cls) {
  const std::size_t index = Index(cls);
  return index < static_cast<std::size_t>(TSioClass::Count) && (kMakers[index].Gpio & kPinMap) != 0;
}

bool TSioBuilder::HasGroupSwitch(TSioClass cls) {
  const std::size_t index = Index(cls);
  return index < static_cast<std::size_t>(TSioClass::Count) &&
         (kMakers[index].Gpio & kGroupSwitch) != 0;
}

const char* TSioBuilder::SlotName(TSioClass cls) {
  const std::size_t index = Index(cls);
  return index < static_cast<std::size_t>(TSioClass::Count) ? kMakers[index].Slot : "";
}

TAbstractSio* TSioBuilder::Build(std::uint8_t port) {
  CurrentConfigPort = port;
  const TSioClass cls = ClassForFamily(Detector->GetFamily(port));
  std::unique_ptr<TAbstractSio>& slot = m_Objects[Index(cls)];
  // The new object's detection pass moves CurrentConfigPort to the port of its last match;
  // built for `port`, the object puts it back before its own accesses.
  if (!slot) slot = kMakers[Index(cls)].Construct(port);
  slot->InitHwmAddress();
  return slot.get();
}
