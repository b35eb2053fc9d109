#include "sim/SkylakePchPads.h"

#include <cstring>
#include <iterator>
#include <utility>

#include <nlohmann/json.hpp>

#include "sim/VirtualBoard.h"

namespace {

constexpr std::uint64_t kSidebandBase = 0xFD000000;
constexpr std::uint8_t kSidebandPort[TSkylakePchCommunity::kCommunities] = {0xAF, 0xAE, 0xAD, 0xAC};
constexpr std::uint32_t kPadBytes = 8;

// The pad groups of the hub, in the order of their communities' pad tables.
struct TPadGroup {
  char Letter;
  std::uint8_t Community;
  std::uint8_t Pads;
};
constexpr TPadGroup kPadGroups[] = {
    {'A', 0, 24}, {'B', 0, 24},                                              // community 0
    {'C', 1, 24}, {'D', 1, 24}, {'E', 1, 13}, {'F', 1, 24}, {'G', 1, 24}, {'H', 1, 24},  // 1
    {'I', 3, 11},                                                            // community 3
};

// DW0 fields.
constexpr std::uint32_t kTxState = 1u << 0;
constexpr std::uint32_t kRxState = 1u << 1;
constexpr std::uint32_t kTxDisable = 1u << 8;
constexpr std::uint32_t kRxDisable = 1u << 9;
constexpr std::uint32_t kPadModeMask = 7u << 10;

constexpr std::uint32_t Mask(unsigned width) {
  return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

}  // namespace

std::uint64_t TSkylakePchCommunity::Window(unsigned community) {
  return kSidebandBase + static_cast<std::uint64_t>(kSidebandPort[community % kCommunities]) * kWindowSize;
}

std::uint32_t TSkylakePchCommunity::TableSize(unsigned community) {
  std::uint32_t size = 0;
  for (const TPadGroup& group : kPadGroups)
    if (group.Community == community) size += group.Pads * kPadBytes;
  return size;
}

TSkylakePchCommunity::TSkylakePchCommunity(std::string chip, unsigned community, std::uint32_t padBar)
    : m_Chip(std::move(chip)), m_Community(community), m_PadBar(padBar) {
  for (const TPadGroup& group : kPadGroups) {
    if (group.Community != community) continue;
    for (unsigned p = 0; p < group.Pads; ++p) {
      m_Names.push_back(std::string("GPP_") + group.Letter + "_" + std::to_string(p));
      m_Pads.emplace_back();
    }
  }
}

std::string TSkylakePchCommunity::Name() const {
  return "pch-gpio " + m_Chip + " community " + std::to_string(m_Community);
}

int TSkylakePchCommunity::Find(const std::string& pad) const {
  for (std::size_t i = 0; i < m_Names.size(); ++i)
    if (m_Names[i] == pad) return static_cast<int>(i);
  return -1;
}

std::uint32_t TSkylakePchCommunity::ComposedDw0(const TPad& pad) const {
  std::uint32_t dw0 = pad.Dw0 & ~kRxState;
  if ((pad.Dw0 & kRxDisable) == 0 && Level(pad) != 0) dw0 |= kRxState;
  return dw0;
}

int TSkylakePchCommunity::Level(const TPad& pad) const {
  const bool drives = (pad.Dw0 & kPadModeMask) == 0 && (pad.Dw0 & kTxDisable) == 0;
  return drives ? static_cast<int>(pad.Dw0 & kTxState) : static_cast<int>(pad.Input);
}

const char* TSkylakePchCommunity::State(const TPad& pad) const {
  if ((pad.Dw0 & kPadModeMask) != 0) return "not_gpio";
  if ((pad.Dw0 & kTxDisable) == 0) return (pad.Dw0 & kTxState) ? "output_high" : "output_low";
  if ((pad.Dw0 & kRxDisable) == 0) return "input";
  return "disabled";
}

std::uint32_t TSkylakePchCommunity::ReadDword(std::uint32_t offset) const {
  if (offset == kPadBarRegister) return m_PadBar;
  if (offset < m_PadBar) return 0;
  const std::uint32_t index = (offset - m_PadBar) / kPadBytes;
  if (index >= m_Pads.size()) return 0;
  const TPad& pad = m_Pads[index];
  return (offset - m_PadBar) % kPadBytes == 0 ? ComposedDw0(pad) : pad.Dw1;
}

void TSkylakePchCommunity::WriteDword(std::uint32_t offset, std::uint32_t value) {
  if (offset < m_PadBar || offset == kPadBarRegister) return;
  const std::uint32_t index = (offset - m_PadBar) / kPadBytes;
  if (index >= m_Pads.size()) return;
  TPad& pad = m_Pads[index];
  if ((offset - m_PadBar) % kPadBytes != 0) {
    pad.Dw1 = value;
    return;
  }
  const char* before = State(pad);
  const int levelBefore = Level(pad);
  pad.Dw0 = (value & ~kRxState) | (pad.Dw0 & kRxState);  // RX state is the hub's to report
  const char* after = State(pad);
  const int level = Level(pad);
  if ((std::strcmp(before, after) == 0 && levelBefore == level) || Board == nullptr) return;
  Board->Trace().Pin({{"owner", "pch"},
                      {"chip", m_Chip},
                      {"port", kSidebandPort[m_Community]},
                      {"address", Window(m_Community) + offset},
                      {"pin", m_Names[index]},
                      {"state", after},
                      {"level", level}});
}

std::uint32_t TSkylakePchCommunity::Read(std::uint64_t offset, unsigned width) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width; ++i) {
    const std::uint64_t at = offset + i;
    const std::uint32_t dword = ReadDword(static_cast<std::uint32_t>(at & ~3ull));
    value |= ((dword >> (8 * (at % 4))) & 0xFF) << (8 * i);
  }
  return value & Mask(width);
}

void TSkylakePchCommunity::Write(std::uint64_t offset, unsigned width, std::uint32_t value) {
  // A narrow write changes only its bytes of the dword it falls in.
  for (unsigned i = 0; i < width; ++i) {
    const std::uint64_t at = offset + i;
    const auto aligned = static_cast<std::uint32_t>(at & ~3ull);
    const unsigned shift = 8 * (at % 4);
    const std::uint32_t old = ReadDword(aligned);
    WriteDword(aligned, (old & ~(0xFFu << shift)) | (((value >> (8 * i)) & 0xFF) << shift));
  }
}

bool TSkylakePchCommunity::SetPad(const std::string& pad, std::uint32_t dw0, std::uint32_t dw1) {
  const int index = Find(pad);
  if (index < 0) return false;
  m_Pads[index].Dw0 = dw0 & ~kRxState;
  m_Pads[index].Dw1 = dw1;
  return true;
}

bool TSkylakePchCommunity::SetInputLevel(const std::string& pad, bool high) {
  const int index = Find(pad);
  if (index < 0) return false;
  m_Pads[index].Input = high;
  return true;
}

std::uint32_t TSkylakePchCommunity::Dw0(const std::string& pad) const {
  const int index = Find(pad);
  return index < 0 ? 0xFFFFFFFF : ComposedDw0(m_Pads[index]);
}

std::uint32_t TSkylakePchCommunity::Dw1(const std::string& pad) const {
  const int index = Find(pad);
  return index < 0 ? 0xFFFFFFFF : m_Pads[index].Dw1;
}

TSkylakePchCommunity* TSkylakePchCommunity::Holding(TVirtualBoard& board, const std::string& pad) {
  for (unsigned c = 0; c < kCommunities; ++c) {
    auto* community = dynamic_cast<TSkylakePchCommunity*>(board.MemoryDeviceAt(Window(c)));
    if (community != nullptr && community->Find(pad) >= 0) return community;
  }
  return nullptr;
}
