#include "host/Registry.h"

#include <cstdlib>

namespace host {
namespace {

class TNoRegistry final : public TRegistry {
 public:
  TKey OpenKey(const std::string&) override { return nullptr; }
  std::optional<std::string> SubkeyName(TKey, std::uint32_t, std::size_t) override { return std::nullopt; }
  std::optional<std::string> ValueName(TKey, std::uint32_t, std::size_t) override { return std::nullopt; }
  std::optional<std::vector<std::uint8_t>> ValueData(TKey, const std::string&, std::size_t) override {
    return std::nullopt;
  }
  void CloseKey(TKey) override {}
};

TRegistry*& StandIn() {
  static TRegistry* standIn = nullptr;
  return standIn;
}

}  // namespace

TRegistry& NoRegistry() {
  static TNoRegistry none;
  return none;
}

#ifndef _WIN32
// The Windows registry is in RegistryWindows.cpp.
TRegistry& SystemRegistry() { return NoRegistry(); }
#endif

TRegistry& MachineRegistry() {
  if (StandIn() != nullptr) return *StandIn();
  if (const char* board = std::getenv("GAVRELO_BOARD"); board != nullptr && *board != 0)
    return NoRegistry();
  return SystemRegistry();
}

void SetRegistryStandIn(TRegistry& registry) { StandIn() = &registry; }

void ClearRegistryStandIn() { StandIn() = nullptr; }

}  // namespace host
