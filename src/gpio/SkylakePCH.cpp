#include "gpio/SkylakePCH.h"

#include <cstdio>
#include <iterator>
#include <vector>

#include "diag/DebugConsole.h"
#include "host/Console.h"
#include "host/IntConversion.h"
#include "hwaccess/ReadWrite.h"

namespace {

// GPIO communities: sideband port of each; its registers sit in the window
// 0xFD000000 + port x 0x10000, with PADBAR (the offset of the pad configuration table) at 0x0C.
constexpr std::uint8_t kCommunityPort[4] = {/* 0 */ 0xAF, /* 1 */ 0xAE, /* 2 */ 0xAD, /* 3 */ 0xAC};
constexpr std::uint32_t kPadBarRegister = 0x0C;
constexpr std::uint32_t kPadBytes = 8;  // DW0 then DW1

constexpr std::uint32_t CommunityWindow(int community) {
  return static_cast<std::uint32_t>(TSkylakePCH::kSidebandBase) +
         static_cast<std::uint32_t>(kCommunityPort[community]) * 0x10000u;
}

// One row per pad group, A to I: its community and the offset of its first pad from the
// community's PADBAR (the groups of a community follow each other, 8 bytes per pad).
struct TPadGroup {
  std::uint8_t Community;
  std::uint16_t Offset;
};
constexpr TPadGroup kPadGroups[TSkylakePCH::kGroups] = {
    /* A */ {0, 0},
    /* B */ {0, 192},  // A + 24 pads
    /* C */ {1, 0},
    /* D */ {1, 192},  // C + 24 pads
    /* E */ {1, 384},  // D + 24 pads
    /* F */ {1, 488},  // E + 13 pads
    /* G */ {1, 680},  // F + 24 pads
    /* H */ {1, 872},  // G + 24 pads
    /* I */ {3, 0},
};

// The communities ReadGPIO fetches, one block each, in this order; community 2 holds no group
// of this object.
struct TPadBlock {
  std::uint8_t Community;
  std::uint32_t Length;  // bytes: the pads of every group of the community
};
constexpr TPadBlock kBlocks[] = {
    {0, 384},   // A, B
    {1, 1064},  // C .. H
    {3, 88},    // I
};

// Pad DW0 fields.
constexpr std::uint32_t kTxState = 1u << 0;      // output level
constexpr std::uint32_t kRxState = 1u << 1;      // input level
constexpr std::uint32_t kTxDisable = 1u << 8;    // output buffer off
constexpr std::uint32_t kRxDisable = 1u << 9;    // input buffer off
constexpr unsigned kPadModeShift = 10;           // bits 12:10, 0 = GPIO
constexpr std::uint32_t kPadModeMask = 7u;
constexpr std::uint32_t kRxInvert = 1u << 23;

std::uint8_t PadState(std::uint32_t dw0) {
  if (((dw0 >> kPadModeShift) & kPadModeMask) != 0) return GPIO_NOT_GPIO;
  if ((dw0 & kTxDisable) && (dw0 & kRxDisable)) return GPIO_DISABLED;
  if (dw0 & kRxDisable) return (dw0 & kTxState) ? GPIO_OUTPUT_HIGH : GPIO_OUTPUT_LOW;
  // The pad reports its input level through RXINV: an inverted pad reads the opposite level.
  const unsigned level = ((dw0 & kRxState) != 0) != ((dw0 & kRxInvert) != 0) ? 1u : 0u;
  return static_cast<std::uint8_t>(GPIO_INPUT_LOW + level);
}

std::wstring Hex8(std::uint32_t value) {
  wchar_t text[16];
  std::swprintf(text, std::size(text), L"0x%08X", value);
  return text;
}

std::wstring Hex16(std::uint64_t value) {
  wchar_t text[24];
  std::swprintf(text, std::size(text), L"0x%016llX", static_cast<unsigned long long>(value));
  return text;
}

wchar_t GroupLetter(int group) { return static_cast<wchar_t>(L'A' + group); }

}  // namespace

static_assert(std::size(kPadGroups) == TSkylakePCH::kGroups);

std::wstring TSkylakePCH::PadName(std::uint8_t Pin) {
  const int group = Pin / kPadsPerIndex;
  const int pad = Pin % kPadsPerIndex;
  if (group >= kGroups || pad >= kGroupPads[group]) return L"";
  return L"GPP_" + std::wstring(1, GroupLetter(group)) + L"_" + std::to_wstring(pad);
}

TSkylakePCH::TSkylakePCH() {
  BankNaming = 2;
  NameOffset = 0x41;  // the letter A
  FillGPIOStates(GPIO, GPIO_NOT_GPIO, sizeof GPIO);
  for (int i = 0; i < 4; ++i) {
    std::uint32_t value = 0xFFFFFFFF;
    if (!ReadWrite.ReadMemUnits(&value, 4, 2, CommunityWindow(i) + kPadBarRegister))
      m_PadAccessFailed = true;
    m_PadBar[i] = value;
  }
  for (int i = 0; i < 4; ++i) {
    Console.LogValue("SKL_PID_GPIOCOM" + std::to_string(i) + " PADBAR",
                     host::WideToUtf8(Hex8(m_PadBar[i])), 10);
  }
  for (int g = 0; g < kGroups; ++g) {
    const TPadGroup& group = kPadGroups[g];
    m_GroupOffset[g] = m_PadBar[group.Community] + group.Offset;
    m_GroupAddress[g] = m_GroupOffset[g] | CommunityWindow(group.Community);
  }
}

TSkylakePCH::~TSkylakePCH() = default;

bool TSkylakePCH::InterpretGPIOString(const std::wstring& token, std::uint8_t& Pin,
                                      std::uint8_t& Mode) {
  Console.LogMessage("TSkylakePCH::InterpretGPIOString", 10, 0);
  if (token.find(L"::") != std::wstring::npos) return true;
  if (token.rfind(L"GPIO", 0) != 0) return false;
  Console.WriteLine(token);
  std::wstring letter = token.substr(4, 1);
  if (!letter.empty() && letter[0] >= L'a' && letter[0] <= L'z') letter[0] -= 32;
  Console.WriteLine(L"Group = " + letter);
  if (letter.empty() || letter[0] < L'A' || letter[0] > L'I') return false;
  const std::size_t equals = token.find(L'=');
  std::wstring name = token.substr(4, equals == std::wstring::npos ? std::wstring::npos : equals - 4);
  name = TrimGPIOText(name);
  if (!name.empty()) name.erase(0, 1);  // the group letter
  Console.WriteLine(L"Pin = " + name);
  const std::int32_t pad = host::StrToIntDef(name, 255);
  if ((letter[0] == L'E' && pad > 12) || (letter[0] == L'I' && pad > 10) || pad > 23 || pad < 0)
    return false;
  Pin = static_cast<std::uint8_t>((letter[0] - NameOffset) * kPadsPerIndex + pad);
  Console.WriteLine(L"Array Index = " + std::to_wstring(Pin));
  if (equals == std::wstring::npos) return false;
  const std::wstring word = TrimGPIOText(std::wstring_view(token).substr(equals + 1));
  Console.WriteLine(L"Pin Value = " + word);
  Mode = GPIOModeOfWord(word);
  return true;
}

void TSkylakePCH::ReadGPIO() {
  std::vector<std::uint8_t> blocks[4];
  for (const TPadBlock& block : kBlocks) {
    std::vector<std::uint8_t>& bytes = blocks[block.Community];
    bytes.assign(block.Length, 0xFF);  // what a failed read leaves: all ones
    const std::uint64_t address = m_PadBar[block.Community] | CommunityWindow(block.Community);
    if (!ReadWrite.ReadMemBlock(bytes.data(), block.Length, address)) {
      bytes.assign(block.Length, 0xFF);
      m_PadAccessFailed = true;
    }
  }
  for (int g = 0; g < kGroups; ++g) {
    const std::vector<std::uint8_t>& bytes = blocks[kPadGroups[g].Community];
    for (int p = 0; p < kGroupPads[g]; ++p) {
      const std::size_t at = kPadGroups[g].Offset + static_cast<std::size_t>(p) * kPadBytes;
      const std::uint32_t dw0 = static_cast<std::uint32_t>(bytes[at]) |
                                static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
                                static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
                                static_cast<std::uint32_t>(bytes[at + 3]) << 24;
      GPIO[g * kPadsPerIndex + p] = PadState(dw0);
    }
  }
}

void TSkylakePCH::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) { WritePad(Pin, Mode); }

bool TSkylakePCH::WritePad(std::uint8_t Pin, std::uint8_t Mode) {
  Console.LogMessage("TSkylakePCH::WriteGPIO START...", 14, 0);
  Console.LogValue("Pin", std::to_string(Pin), 14);
  Console.LogValue("Mode", std::to_string(Mode), 14);
  const std::wstring name = PadName(Pin);
  if (name.empty()) return false;  // no such pad: nothing is read or written
  const int group = Pin / kPadsPerIndex;
  const int pad = Pin % kPadsPerIndex;
  const std::uint64_t address = static_cast<std::uint64_t>(m_GroupAddress[group]) +
                                static_cast<std::uint64_t>(pad) * kPadBytes;
  Console.LogValue(name + L"Addr", Hex16(address), 10);
  std::uint32_t dw0 = 0xFFFFFFFF;
  const bool read = ReadWrite.ReadMemUnits(&dw0, 4, 2, address);
  Console.LogValue(name, Hex8(dw0), 10);
  if (!read) {
    m_PadAccessFailed = true;
    return false;
  }
  switch (Mode) {
    case GPIO_INPUT_LOW:
    case GPIO_INPUT_HIGH:
    case GPIO_INPUT:
      Console.LogMessage("case GPIO_INPUT_LOW:", 12, 0);
      dw0 = (dw0 & ~kRxDisable) | kTxDisable;
      break;
    case GPIO_OUTPUT_LOW:
      Console.LogMessage("case GPIO_OUTPUT_LOW:", 12, 0);
      dw0 = (dw0 & ~(kTxDisable | kTxState)) | kRxDisable;
      break;
    case GPIO_OUTPUT_HIGH:
      Console.LogMessage("case GPIO_OUTPUT_HIGH:", 12, 0);
      dw0 = (dw0 & ~kTxDisable) | kRxDisable | kTxState;
      break;
    default:
      break;  // unchanged; the pad mode is never touched either way
  }
  Console.LogValue(name, Hex8(dw0), 14);
  const bool written = ReadWrite.WriteMemDword(address, dw0);
  if (!written) m_PadAccessFailed = true;
  return written;
}

void TSkylakePCH::EnableGPIOGroup(std::uint8_t) {}

void TSkylakePCH::ListGPIOState(std::vector<std::wstring>& lines) {
  ReadGPIO();
  for (int g = 0; g < kGroups; ++g) {
    for (int p = 0; p < kGroupPads[g]; ++p) {
      const std::wstring name = PadName(static_cast<std::uint8_t>(g * kPadsPerIndex + p));
      const std::wstring state = GPIOStateName(GPIO[g * kPadsPerIndex + p]);
      lines.push_back(name + L" = " + state);
      Console.LogValue(name, state, 10);
    }
  }
}
