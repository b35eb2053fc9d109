#include "sio/SioConfig.h"

#include <cstddef>
#include <cstdlib>

#include "diag/ProcessState.h"
#include "host/Console.h"

void SioResetProcessValues();  // SioBase.cpp: CurrentConfigPort and the other shared values

namespace {

// ---------------------------------------------------------------------------------------------
// Probe forms. Every probe sets LocalA/LocalB to the index/data port, writes the vendor's lock
// and unlock keys, reads the ID registers from 0x20 up, optionally masks them and subtracts the
// expected value; all values but the last are tested with bkif0, which ends the script with
// result 0 on equality. The port 0x4E probe differs from the 0x2E one in the ports and, for
// ITE and SMSC, in one key byte. Blanks are kept as the table stores them (the interpreter
// ignores blanks next to ";").
// ---------------------------------------------------------------------------------------------
enum class TForm { W, WM, W8, I, I2, E, S, F };

struct TFormText {
  const char* Keys2E;  // text between the port templates and the ID read, port 0x2E
  const char* Keys4E;  // the same for port 0x4E
  const char* Read;    // the ID read (and mask)
};

constexpr const char* kPorts2E = "LocalA=0x2e; LocalB=0x2f";
constexpr const char* kPorts4E = "LocalA=0x4e; LocalB=0x4f";

constexpr TFormText FormText(TForm form) {
  switch (form) {
    case TForm::W:  // Winbond/Nuvoton, 16-bit ID: revision byte 0x21 high, device byte 0x20 low
      return {"; o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); ",
              "; o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); ",
              "Local0=IID16(LocalA,LocalB,0x20); "};
    case TForm::WM:  // as W, ignoring the low four revision bits
      return {";o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); ",
              ";o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); ",
              "Local0=IID16(LocalA,LocalB,0x20); Local0=and(Local0,0xf0ff); "};
    case TForm::W8:  // Winbond, device byte 0x20 only
      return {";o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); ",
              ";o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); ",
              "Local0=IID(LocalA,LocalB,0x20); "};
    case TForm::I:  // ITE: leave config mode, then 87 01 55 55 (0x2E) / 87 01 55 AA (0x4E)
      return {";o(LocalA,0x02); o(LocalB,0x02); o LocalA 0x87; o LocalA 0x01; o LocalA 0x55; "
              "o LocalA 0x55; ",
              ";o(LocalA,0x02); o(LocalB,0x02); o LocalA 0x87; o LocalA 0x01; o LocalA 0x55; "
              "o LocalA 0xaa; ",
              "Local0=IID16(LocalA,LocalB,0x20); "};
    case TForm::I2:  // ITE, function-call spelling
      return {"; o(LocalA,0x02); o(LocalB,0x02); o(LocalA,0x87); o(LocalA,0x01); "
              "o(LocalA,0x55); o(LocalA,0x55); ",
              "; o(LocalA,0x02); o(LocalB,0x02); o(LocalA,0x87); o(LocalA,0x01); "
              "o(LocalA,0x55); o(LocalA,0xAA); ",
              "Local0=IID16(LocalA,LocalB,0x20); "};
    case TForm::E:  // ITE embedded controllers: always open, no keys
      return {"; ", "; ", "Local0=IID16(LocalA,LocalB,0x20); "};
    case TForm::S:  // SMSC: key 0x55 at 0x2E; the table's 0x4E probe writes 0x87 instead
      return {";o LocalA 0xaa; o(LocalA,0x55); ", ";o LocalA 0xaa; o(LocalA,0x87); ",
              "Local0=IID(LocalA,LocalB,0x20); "};
    case TForm::F:  // FinTek, 32-bit ID from 0x23..0x20
      return {";o LocalA 0xaa; o LocalA 0x87; o LocalA 0x87; ",
              ";o LocalA 0xaa; o LocalA 0x87; o LocalA 0x87; ",
              "Local0=IID32(LocalA,LocalB,0x20); "};
  }
  return {"", "", ""};
}

// ---------------------------------------------------------------------------------------------
// Unlock/lock scripts by vendor group.
// ---------------------------------------------------------------------------------------------
enum class TLockGroup { Winbond, FinTek, Smsc, IteI, IteI2, IteE };

constexpr const char* kIteEnter =
    "CMDS{o LocalA 0x87; o LocalA 0x01; o LocalA 0x55; bkif0(sub(LocalA,0x4e)); o LocalA 0x55}; "
    "bkif0(sub(LocalA,0x2e)); o LocalA 0xaa";

struct TLockText {
  const char* Enter;
  const char* Exit;
};

constexpr TLockText LockText(TLockGroup group) {
  switch (group) {
    case TLockGroup::Winbond: return {"o LocalA 0x87; o LocalA 0x87", "o LocalA 0xaa"};
    case TLockGroup::FinTek: return {"o LocalA 0x87; o LocalA 0x87", "o LocalA 0xAA"};
    case TLockGroup::Smsc: return {"o LocalA 0x55", "o LocalA 0xaa"};
    case TLockGroup::IteI: return {kIteEnter, "o LocalA 0x02; o LocalB 0x02"};
    case TLockGroup::IteI2: return {kIteEnter, "o(LocalA,0x02); o(LocalB,0x02)"};
    case TLockGroup::IteE: return {"", ""};
  }
  return {"", ""};
}

// Hardware-monitor address: select LDN 0x0B, base from 0x60/0x61, plus 5; data port one up.
constexpr const char* kHwmIndexScript =
    "OID(LocalA,LocalB,7,11); Local0=IID(LocalA,LocalB,0x60); Local1=IID(LocalA,LocalB,0x61); "
    "Local0=Mul(Local0,0x100); Local0=Add(Local0,Local1); Local0=Add(Local0,5)";
constexpr const char* kHwmDataScript = "Add(Local0,1)";

// ---------------------------------------------------------------------------------------------
// Logical device names (LDN -> datasheet name).
// ---------------------------------------------------------------------------------------------
struct TLdnName {
  std::uint8_t Ldn;
  const char* Name;
};

struct TDeviceList {
  const TLdnName* Names;
  std::size_t Count;
};

template <std::size_t N>
constexpr TDeviceList List(const TLdnName (&names)[N]) {
  return {names, N};
}

// FinTek
constexpr TLdnName kF71805[] = {
    {0x00, "FDC"}, {0x01, "UART 1"}, {0x02, "UART 2"}, {0x03, "Parallel Port"},
    {0x04, "Hardware Monitor"}, {0x06, "GPIO"}, {0x0A, "PME & ACPI"}};
constexpr TLdnName kF71862[] = {
    {0x00, "FDC"}, {0x01, "UART 1"}, {0x02, "UART 2"}, {0x03, "Parallel Port"},
    {0x04, "Hardware Monitor"}, {0x05, "KBC"}, {0x06, "GPIO"}, {0x07, "VID"},
    {0x08, "SPI"}, {0x0A, "PME & ACPI"}};
constexpr TLdnName kF71872[] = {
    {0x00, "FDC"}, {0x01, "UART 1"}, {0x02, "UART 2"}, {0x03, "Parallel Port"},
    {0x04, "Hardware Monitor"}, {0x05, "KBC"}, {0x06, "GPIO"}, {0x07, "VID"},
    {0x0A, "PME & ACPI"}};
constexpr TLdnName kF71882[] = {
    {0x00, "FDC"}, {0x01, "UART 1"}, {0x02, "UART 2"}, {0x03, "Parallel Port"},
    {0x04, "Hardware Monitor"}, {0x05, "KBC"}, {0x06, "GPIO"}, {0x07, "VID"},
    {0x08, "SPI"}, {0x0A, "PME & ACPI"}};

// ITE embedded controllers (IT85xx)
constexpr TLdnName kIt85xx[] = {
    {0x04, "System Wake-Up Control"}, {0x05, "KBC (Mouse)"}, {0x06, "KBC (Keyboard)"},
    {0x0F, "Shared Memory/Flash Interface"}, {0x10, "BRAM"}, {0x11, "Power Management Channel 1"},
    {0x12, "Power Management Channel 2"}};

// ITE Super I/O (IT87xx)
constexpr TLdnName kIt87_0_8[] = {
    {0x00, "FDC"}, {0x01, "Serial Port 1"}, {0x02, "Serial Port 2"}, {0x03, "Parallel Port"},
    {0x04, "Environment Controller"}, {0x05, "KBC (Keyboard)"}, {0x06, "KBC (Mouse)"},
    {0x07, "GPIO"}, {0x08, "Game Port"}};
constexpr TLdnName kIt87_0_A[] = {
    {0x00, "FDC"}, {0x01, "Serial Port 1"}, {0x02, "Serial Port 2"}, {0x03, "Parallel Port"},
    {0x04, "Environment Controller"}, {0x05, "KBC (Keyboard)"}, {0x06, "KBC (Mouse)"},
    {0x07, "GPIO"}, {0x08, "MIDI Port"}, {0x09, "Game Port"}, {0x0A, "Consumer IR"}};
constexpr TLdnName kIt8710[] = {
    {0x00, "FDC"}, {0x01, "Serial Port 1"}, {0x02, "Serial Port 2"}, {0x03, "Parallel Port"},
    {0x04, "Environment Controller"}, {0x07, "GPIO"}, {0x08, "MIDI Port"}, {0x09, "Game Port"},
    {0x0A, "Consumer IR"}};
constexpr TLdnName kIt87_0_7A[] = {
    {0x00, "FDC"}, {0x01, "Serial Port 1"}, {0x02, "Serial Port 2"}, {0x03, "Parallel Port"},
    {0x04, "Environment Controller"}, {0x05, "KBC (Keyboard)"}, {0x06, "KBC (Mouse)"},
    {0x07, "GPIO"}, {0x0A, "Consumer IR"}};
constexpr TLdnName kIt8761[] = {
    {0x00, "FDC"}, {0x01, "Serial Port 1"}, {0x02, "Serial Port 2"}, {0x03, "Parallel Port"},
    {0x04, "GPIO"}};

// Nuvoton
constexpr TLdnName kNct557x[] = {
    {0x02, "UART A"}, {0x03, "UART B, IR"}, {0x05, "KBC"}, {0x06, "CIR"},
    {0x07, "GPIO6, GPIO7, GPIO8"}, {0x08, "WDT1, GPIO0, GPIO1"},
    {0x09, "GPIO2, GPIO3, GPIO4, GPIO5"}, {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor, Front Panel LED"}, {0x0E, "CIRWAKEUP"},
    {0x0F, "GPIO Push-Pull/OD Select"}, {0x16, "Deep Sleep"}, {0x17, "GPIOA"}};
constexpr TLdnName kNct610x[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B, IR"},
    {0x05, "KBC"}, {0x06, "CIR"}, {0x07, "GPIO6, GPIO7, GPIO8"}, {0x08, "WDT1, GPIO0, GPIO1"},
    {0x09, "GPIO2, GPIO3, GPIO4, GPIO5"}, {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor, Front Panel LED"}, {0x0D, "WDT2"}, {0x0E, "CIRWAKEUP"},
    {0x0F, "GPIO Push-Pull/OD Select"}, {0x10, "UART C"}, {0x11, "UART D"}, {0x12, "UART E"},
    {0x13, "UART F"}, {0x14, "Port 80 UART"}, {0x15, "Fading LED"}, {0x16, "Deep Sleep"}};
constexpr TLdnName kNct6683[] = {
    {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B, IR"}, {0x05, "KBC"},
    {0x06, "CIR"}, {0x07, "GPIO0-7"}, {0x08, "Port 80"}, {0x09, "GPIO8-F"}, {0x0A, "ACPI"},
    {0x0B, "EC Space"}, {0x0D, "VID"}, {0x0E, "CIRWAKEUP"}};
constexpr TLdnName kNct6775[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B, IR"},
    {0x05, "KBC"}, {0x06, "CIR"}, {0x07, "GPIO6, GPIO7, GPIO8, GPIO9"},
    {0x08, "WDT1, GPIO0, GPIO1"}, {0x09, "GPIO2, GPIO3, GPIO4, GPIO5"}, {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor, Front Panel LED"}, {0x0C, "PECI"}, {0x0D, "VID, BUSSEL"},
    {0x0E, "CIRWAKEUP"}, {0x0F, "GPIO Push-Pull/OD Select"}};
constexpr TLdnName kNct6776[] = {
    {0x00, "FDC"},
    {0x01, "Parallel Port"},
    {0x02, "UART A"},
    {0x03, "UART B, IR"},
    {0x05, "KBC"},
    {0x06, "CIR"},
    {0x07, "GPIO6, GPIO7, GPIO8, GPIO9"},
    {0x08, "WDT1, GPIO0, GPIOA"},
    {0x09, "GPIO1, GPIO2, GPIO3, GPIO4, GPIO5, GPIO6, GPIO7"},
    {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor, SB-TSI, Front Panel LED, Deep S5"},
    {0x0D, "VID, VIDDAC, BUSSEL"},
    {0x0E, "CIRWAKEUP"},
    {0x0F, "GPIO Push-Pull/OD Select"},
    {0x14, "SVID"},
    {0x16, "Deep Sleep"},
    {0x17, "GPIOA"}};
constexpr TLdnName kNct6791[] = {
    {0x02, "UART A"}, {0x03, "UART B, IR"}, {0x05, "KBC"}, {0x06, "CIR"},
    {0x07, "GPIO6, GPIO7, GPIO8"}, {0x08, "WDT1, WDT_MEM, GPIO0, GPIO1"},
    {0x09, "GPIO2, GPIO3, GPIO4, GPIO5"}, {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor, Front Panel LED"}, {0x0C, "PECI"}, {0x0E, "CIRWAKEUP"},
    {0x0F, "GPIO Push-Pull/OD Select"}, {0x14, "Port 80 UART"}, {0x16, "Deep Sleep"}};

// SMSC
constexpr TLdnName kSmscM1x[] = {
    {0x00, "FDD"}, {0x03, "Parallel Port"}, {0x04, "Serial Port 1"}, {0x05, "Serial Port 2"},
    {0x07, "Keyboard"}, {0x09, "Game Port"}, {0x0A, "Runtime Registers"}, {0x0B, "MPU-401"}};
constexpr TLdnName kSmscM1x2[] = {
    {0x00, "FDD"}, {0x01, "ACPI PM"}, {0x02, "ACPI EC"}, {0x03, "Parallel Port"},
    {0x04, "Serial Port 1"}, {0x05, "Serial Port 2"}, {0x06, "Real Time Clock"},
    {0x07, "Keyboard"}, {0x0A, "Runtime Registers"}};
constexpr TLdnName kSmscS42x[] = {
    {0x00, "FDD"}, {0x03, "Parallel Port"}, {0x04, "Serial Port 1"}, {0x05, "Serial Port 2"},
    {0x07, "Keyboard"}, {0x08, "Auxiliary I/O"}, {0x0A, "Runtime Registers"},
    {0x0B, "Security Key"}};
constexpr TLdnName kSch5017[] = {
    {0x00, "FDD"}, {0x03, "Parallel Port"}, {0x04, "Serial Port 1"}, {0x05, "Serial Port 2"},
    {0x07, "Keyboard"}, {0x0A, "Runtime Registers"}};

// Winbond
constexpr TLdnName kW83627Dhg[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "Keyboard Controller"}, {0x06, "Serial Peripheral Interface"}, {0x07, "GPIO 6"},
    {0x08, "WDTO#, PLED"}, {0x09, "GPIO 2, 3, 4, 5"}, {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor"}, {0x0C, "PECI, SST"}};
constexpr TLdnName kW83627Ehf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "Keyboard Controller"}, {0x07, "Game Port, MIDI Port, GPIO 1, 6, 7"},
    {0x08, "WDTO#, PLED"}, {0x09, "GPIO 2, 3, 4, 5"}, {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor"}};
constexpr TLdnName kW83627Hf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "KBC"}, {0x06, "CIR"}, {0x07, "Game Port, MIDI Port, GPIO Port 1"},
    {0x08, "GPIO Port 2"}, {0x09, "GPIO Port 3, VSB powered"}, {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor"}};
constexpr TLdnName kW83627Sf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "KBC"}, {0x06, "CIR"}, {0x07, "Game Port, MIDI Port, GPIO Port 1"},
    {0x08, "GPIO Port 2"}, {0x09, "GPIO Port 3"}, {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"},
    {0x0C, "Smart Card Interface"}};
constexpr TLdnName kW83627Thf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "KBC"}, {0x07, "GPIO Port 1, Game Port, MIDI Port"}, {0x08, "GPIO Port 2, WDTO"},
    {0x09, "GPIO Port 3, 4, 5"}, {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"}};
constexpr TLdnName kW83627Uhg[] = {
    {0x00, "FDC"},
    {0x01, "Parallel Port"},
    {0x02, "UART A"},
    {0x03, "UART B"},
    {0x05, "Keyboard Controller"},
    {0x06, "UART C"},
    {0x07, "GPIO Port 3, 4"},
    {0x08, "WDTO, PLED, GPIO5, 6 & GPIO Base Address"},
    {0x09, "GPIO Port 1, 2 & SUSLED"},
    {0x0A, "ACPI"},
    {0x0B, "Hardware Monitor"},
    {0x0C, "PECI, SST"},
    {0x0D, "UART D"},
    {0x0E, "UART E"},
    {0x0F, "UART F"}};
constexpr TLdnName kW83637Hf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "KBC"}, {0x06, "CIR"}, {0x07, "Game Port, MIDI Port, GPIO Port 1"},
    {0x08, "GPIO Port 2"}, {0x09, "GPIO Port 3"}, {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"},
    {0x0C, "Smart Card Interface"}, {0x0D, "Memory Stick Interface"}};
constexpr TLdnName kW83667Hg[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "KBC"}, {0x06, "CIR"}, {0x07, "GPIO 6, 7, 8, 9"}, {0x08, "WDTO#, PLED, GPIO 1"},
    {0x09, "GPIO 2, 3, 4, 5"}, {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"}, {0x0C, "PECI"},
    {0x0D, "VID, BUSSEL"}, {0x0E, "CIRWAKEUP"}, {0x0F, "GPIO Push-Pull/OD Select"}};
constexpr TLdnName kW83667HgA[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "KBC"}, {0x06, "CIR"}, {0x07, "GPIO 6, 7, 8, 9"}, {0x08, "WDTO#, PLED, GPIO 1"},
    {0x09, "GPIO 2, 3, 4, 5"}, {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"}, {0x0C, "PECI"},
    {0x0D, "VID, BUSSEL"}, {0x0F, "GPIO Push-Pull/OD Select"}};
constexpr TLdnName kW83697Hf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x06, "Consumer IR"}, {0x07, "Game Port, MIDI Port, GPIO Port 1"}, {0x08, "GPIO Port 2"},
    {0x09, "GPIO Port 3"}, {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"}};
constexpr TLdnName kW83697Sf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x07, "Game Port, MIDI Port, GPIO 1"}, {0x08, "GPIO 2"}, {0x09, "GPIO 3"},
    {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"}, {0x0C, "GPIO 5"}, {0x0D, "GPIO 6"},
    {0x0E, "GPIO 7"}, {0x0F, "GPIO 8"}};
constexpr TLdnName kW83697Uf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x07, "Game Port, MIDI Port, GPIO 1"}, {0x08, "GPIO 2"}, {0x09, "GPIO 3"},
    {0x0A, "ACPI"}, {0x0B, "Hardware Monitor"}, {0x0C, "GPIO 5"}, {0x0D, "URC, GPIO 6"},
    {0x0E, "URD, GPIO 7"}, {0x0F, "GPIO 8"}};
constexpr TLdnName kW83977Atf[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "KBC"}, {0x06, "Consumer IR"}, {0x07, "GPIO Port 1"}, {0x08, "GPIO Port 2"},
    {0x09, "GPIO Port 3"}, {0x0A, "ACPI"}};
constexpr TLdnName kW83977Ef[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x03, "UART B"},
    {0x05, "KBC"}, {0x07, "GPIO Port 1"}, {0x08, "GPIO Port 2"}, {0x0A, "ACPI"}};
constexpr TLdnName kW83L517D[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x06, "Consumer IR"},
    {0x0A, "ACPI"}};
constexpr TLdnName kW83L517G[] = {
    {0x00, "FDC"}, {0x01, "Parallel Port"}, {0x02, "UART A"}, {0x06, "Consumer IR"},
    {0x07, "GPIO Port 1"}, {0x08, "GPIO Port 2"}, {0x09, "GPIO Port 3"}, {0x0A, "ACPI"}};
constexpr TLdnName kW83L51x[] = {
    {0x00, "Smart Card Interface"}, {0x01, "Memory Stick Interface"},
    {0x02, "SD/MMC Card Interface"}, {0x03, "GPIO"}};

// ---------------------------------------------------------------------------------------------
// The rows, in key order. Ids: the values the probe subtracts, in test order, as the scripts
// write them. ChipId: the informational value of the row (for several accepted values the one
// the table has always carried).
// ---------------------------------------------------------------------------------------------
struct TRowDef {
  const char* FullName;
  const char* ShortName;
  const char* Vendor;
  TForm Form;
  TLockGroup Lock;
  const char* Ids[3];
  std::uint32_t ChipId;
  const char* FamilyTag;
  bool HwmScripts;
  TDeviceList Devices;
};

using F = TForm;
using G = TLockGroup;

constexpr TRowDef kRows[] = {
    // 0
    {"FinTek F71805F/FG", "F71805F", "FinTek", F::F, G::FinTek, {"0x34190604"}, 0x34190604, "", false, List(kF71805)},
    {"FinTek F71862", "F71862", "FinTek", F::F, G::FinTek, {"0x34190106"}, 0x34190106, "", false, List(kF71862)},
    {"FinTek F71872", "F71872", "FinTek", F::F, G::FinTek, {"0x34194103"}, 0x34194103, "", false, List(kF71872)},
    {"FinTek F71882/F71883", "F71882", "FinTek", F::F, G::FinTek, {"0x34194105"}, 0x34194105, "", false, List(kF71882)},
    {"IT8502E", "IT8502E", "ITE", F::I2, G::IteI2, {"0x0285"}, 0x0285, "", false, List(kIt85xx)},
    // 5
    {"IT8510E", "IT8510E", "ITE", F::E, G::IteE, {"0x1085"}, 0x1085, "", false, List(kIt85xx)},
    {"IT8511E", "IT8511E", "ITE", F::E, G::IteE, {"0x1185"}, 0x1185, "", false, List(kIt85xx)},
    {"IT8512E", "IT8512E", "ITE", F::E, G::IteE, {"0x1285"}, 0x1285, "", false, List(kIt85xx)},
    {"IT8700F", "IT8700F", "ITE", F::I, G::IteI, {"0x0087"}, 0x0087, "", false, List(kIt87_0_8)},
    {"IT8702F", "IT8702F", "ITE", F::I, G::IteI, {"0x0287"}, 0x0287, "", false, List(kIt87_0_A)},
    // 10
    {"IT8705F", "IT8705F", "ITE", F::I, G::IteI, {"0x0587"}, 0x0587, "", false, List(kIt87_0_8)},
    {"IT8710F", "IT8710F", "ITE", F::I, G::IteI, {"0x1087"}, 0x1087, "", false, List(kIt8710)},
    {"IT8711F", "IT8711F", "ITE", F::I, G::IteI, {"0x1187"}, 0x1187, "", false, List(kIt87_0_A)},
    {"IT8712F", "IT8712F", "ITE", F::I, G::IteI, {"0x1287"}, 0x1287, "", false, List(kIt87_0_A)},
    {"IT8716F", "IT8716F", "ITE", F::I, G::IteI, {"0x1687"}, 0x1687, "", false, List(kIt87_0_A)},
    // 15
    {"IT8718F", "IT8718F", "ITE", F::I, G::IteI, {"0x1887"}, 0x1887, "", false, List(kIt87_0_7A)},
    {"IT8720F", "IT8720F", "ITE", F::I2, G::IteI2, {"0x2087"}, 0x2087, "IT8720", false, List(kIt87_0_7A)},
    {"IT8726F", "IT8726F", "ITE", F::I, G::IteI, {"0x2687"}, 0x2687, "", false, List(kIt87_0_A)},
    {"IT8761E", "IT8761F", "ITE", F::I, G::IteI, {"0x6187"}, 0x6187, "", false, List(kIt8761)},
    // The NCT557x rows carry no vendor: a match sets Entry and the port but no family.
    {"NCT5573D", "N5573", "", F::W, G::Winbond, {"0x31C3"}, 0x31C3, "N5573", true, List(kNct557x)},
    // 20
    {"NCT5577D", "N5577", "", F::W, G::Winbond, {"0x31C3"}, 0x31C3, "N5577", true, List(kNct557x)},
    {"NCT6102D", "N6102", "Nuvoton", F::W, G::Winbond, {"0x52C4"}, 0x52C4, "N6102", true, List(kNct610x)},
    {"NCT6106D", "N6106", "Nuvoton", F::W, G::Winbond, {"0x53C4"}, 0x53C4, "N6106", true, List(kNct610x)},
    {"NCT6683D", "N6683", "Nuvoton", F::W, G::Winbond, {"0x32C7"}, 0x32C7, "N6683", true, List(kNct6683)},
    {"NCT6775F/NCT6771F", "W667HG", "Nuvoton", F::WM, G::Winbond, {"0x70B4"}, 0x70B4, "W667", true, List(kNct6775)},
    // 25
    {"NCT6776F", "N6776", "Nuvoton", F::WM, G::Winbond, {"0x30C3"}, 0x30C3, "N6776", true, List(kNct6776)},
    {"NCT6791D", "N6791", "Nuvoton", F::W, G::Winbond, {"0x03c8"}, 0x03C8, "N6791", true, List(kNct6791)},
    {"SMSC LPC47B272", "S47B272", "SMSC", F::S, G::Smsc, {"0x51"}, 0x51, "", false, List(kSmscM1x)},
    {"SMSC LPC47M10x/LPC47M112", "S47M10x", "SMSC", F::S, G::Smsc, {"0x59"}, 0x59, "", false, List(kSmscM1x)},
    {"SMSC LPC47M14x", "S47M14x", "SMSC", F::S, G::Smsc, {"0x5F"}, 0x5F, "", false, List(kSmscM1x)},
    // 30
    {"SMSC LPC47M15x/LPC47M192", "S47M15x", "SMSC", F::S, G::Smsc, {"0x60"}, 0x60, "", false, List(kSmscM1x)},
    {"SMSC LPC47M172", "S47M172", "SMSC", F::S, G::Smsc, {"0x14"}, 0x14, "", false, List(kSmscM1x2)},
    {"SMSC LPC47M182", "S47M182", "SMSC", F::S, G::Smsc, {"0x74"}, 0x74, "", false, List(kSmscM1x2)},
    {"SMSC LPC47S42x", "S47S42x", "SMSC", F::S, G::Smsc, {"0x57"}, 0x57, "", false, List(kSmscS42x)},
    {"SMSC SCH5017", "SCH5017", "SMSC", F::S, G::Smsc, {"0x78"}, 0x78, "", false, List(kSch5017)},
    // 35
    {"W83627DHG", "W627DHG", "Winbond", F::WM, G::Winbond, {"0x20A0", "0x70B0"}, 0x70B0, "W627", false, List(kW83627Dhg)},
    {"W83627EHF/EHG", "W627EHF", "Winbond", F::W8, G::Winbond, {"0x88"}, 0x88, "W627", false, List(kW83627Ehf)},
    {"W83627HF/F", "W627HF", "Winbond", F::W, G::Winbond, {"0x1752", "0x3a52", "0x4152"}, 0x1752, "", false, List(kW83627Hf)},
    {"W83627SF", "W627SF", "Winbond", F::WM, G::Winbond, {"0x5059"}, 0x5059, "", false, List(kW83627Sf)},
    {"W83627THF", "W627THF", "Winbond", F::WM, G::Winbond, {"0x8082"}, 0x8082, "", false, List(kW83627Thf)},
    // 40
    {"W83627UHG", "W627UHG", "Winbond", F::WM, G::Winbond, {"0x30A2"}, 0x30A2, "", false, List(kW83627Uhg)},
    {"W83637HF", "W637HF", "Winbond", F::WM, G::Winbond, {"0x8070"}, 0x8070, "", false, List(kW83637Hf)},
    {"W83667HG", "W667HG", "Winbond", F::WM, G::Winbond, {"0x10A5"}, 0x10A5, "W667", false, List(kW83667Hg)},
    {"W83667HG-A", "W667HG", "Winbond", F::WM, G::Winbond, {"0x50B3"}, 0x50B3, "W667", false, List(kW83667HgA)},
    {"W83697HF/HG", "W697HF", "Winbond", F::WM, G::Winbond, {"0x1060"}, 0x1060, "", false, List(kW83697Hf)},
    // 45
    {"W83697SF", "W697SF", "Winbond", F::WM, G::Winbond, {"0x0068"}, 0x0068, "", false, List(kW83697Sf)},
    {"W83697UF/UG", "W697UF", "Winbond", F::WM, G::Winbond, {"0x1068"}, 0x1068, "", false, List(kW83697Uf)},
    {"W83977ATF", "W977ATF", "Winbond", F::WM, G::Winbond, {"0x7097"}, 0x7097, "", false, List(kW83977Atf)},
    {"W83977EF", "W977EF", "Winbond", F::WM, G::Winbond, {"0xf052"}, 0xF052, "", false, List(kW83977Ef)},
    {"W83L517D", "WL517D", "Winbond", F::WM, G::Winbond, {"0x0061"}, 0x0061, "", false, List(kW83L517D)},
    // 50
    {"W83L517G", "WL517G", "Winbond", F::WM, G::Winbond, {"0x0061"}, 0x0061, "", false, List(kW83L517G)},
    {"W83L518D", "WL518D", "Winbond", F::WM, G::Winbond, {"0x1071"}, 0x1071, "", false, List(kW83L51x)},
    {"W83L519D", "WL519D", "Winbond", F::WM, G::Winbond, {"0x2071"}, 0x2071, "", false, List(kW83L51x)},
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == 53, "the chip table has 53 rows");

std::wstring Wide(const char* text) { return host::Utf8ToWide(text); }

// Probe script for one port: ports, keys, ID read, then the accepted values.
std::wstring ProbeScript(const TRowDef& row, bool port4E) {
  const TFormText form = FormText(row.Form);
  std::string text = port4E ? kPorts4E : kPorts2E;
  text += port4E ? form.Keys4E : form.Keys2E;
  text += form.Read;
  std::size_t count = 0;
  while (count < 3 && row.Ids[count] != nullptr) ++count;
  for (std::size_t i = 0; i < count; ++i) {
    if (i + 1 < count) {
      text += "bkif0(sub(Local0,";
      text += row.Ids[i];
      text += ")); ";
    } else {
      text += "sub(Local0,";
      text += row.Ids[i];
      text += ")";
    }
  }
  return Wide(text.c_str());
}

TSioCfg BuildRow(const TRowDef& row) {
  TSioCfg cfg;  // starts blank: every text empty, ChipId 0
  cfg.FullName = Wide(row.FullName);
  cfg.ShortName = Wide(row.ShortName);
  cfg.ChipId = row.ChipId;
  cfg.DetectScripts[0] = ProbeScript(row, false);
  cfg.DetectScripts[1] = ProbeScript(row, true);
  cfg.PortTemplateA = L"LocalA=";
  cfg.PortTemplateB = L"LocalB=";
  const TLockText lock = LockText(row.Lock);
  cfg.EnterScript = Wide(lock.Enter);
  cfg.ExitScript = Wide(lock.Exit);
  if (row.HwmScripts) {
    cfg.HwmIndexScript = Wide(kHwmIndexScript);
    cfg.HwmDataScript = Wide(kHwmDataScript);
  }
  cfg.FamilyTag = Wide(row.FamilyTag);
  for (std::size_t i = 0; i < row.Devices.Count; ++i) {
    const TLdnName& device = row.Devices.Names[i];
    if (device.Ldn < cfg.DeviceNames.size()) cfg.DeviceNames[device.Ldn] = Wide(device.Name);
  }
  cfg.Vendor = Wide(row.Vendor);
  return cfg;
}

TSioConfig* g_instance = nullptr;

}  // namespace

TSioConfig& TSioConfig::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TSioConfig();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TSioConfig::ResetInstance);
  }
  return *g_instance;
}

void TSioConfig::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
  // The process-wide Super I/O values live as long as the table: every Super I/O object gets
  // the table first, so resetting them here gives a test the state of a new process.
  SioResetProcessValues();
}

TSioConfig::TSioConfig() {
  for (const TRowDef& row : kRows) {
    TSioCfg cfg = BuildRow(row);
    std::wstring key = cfg.FullName;
    m_Entries.insert_or_assign(std::move(key), std::move(cfg));  // a later equal key replaces
  }
}
