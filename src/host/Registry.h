#pragma once
// Read access to the system registry under HKEY_LOCAL_MACHINE, as far as the tool uses it:
// the copy of the ACPI root table Windows keeps under "Hardware\ACPI\RSDT" (TAcpiBase).
//
// Windows: RegOpenKeyExA, RegEnumKeyExA, RegEnumValueA, RegQueryValueExA, RegCloseKey.
// Keys are opened for reading only: nothing here writes, and HARDWARE is a system-owned
// volatile tree in which a request for write access can be refused where reading is not.
// Elsewhere there is no registry: no key opens.
//
// A process run against a virtual board must not see the registry of the machine it runs
// on (a real root table there would send the walk to addresses the board does not have):
// under GAVRELO_BOARD MachineRegistry() answers as no registry, and a board installed in
// the process installs that answer as a stand-in (sim/VirtualBoard.cpp).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

class TRegistry {
 public:
  // An open key (HKEY on Windows); null is no key.
  using TKey = void*;

  virtual ~TRegistry() = default;

  // Opens `path` below HKEY_LOCAL_MACHINE; null when it does not open.
  virtual TKey OpenKey(const std::string& path) = 0;
  // The name of the subkey at `index`, read into a buffer of `bufferBytes` bytes (the
  // terminating zero included); none when there is no such subkey or the name does not fit.
  virtual std::optional<std::string> SubkeyName(TKey key, std::uint32_t index,
                                                std::size_t bufferBytes) = 0;
  // The same for the name of the value at `index`.
  virtual std::optional<std::string> ValueName(TKey key, std::uint32_t index,
                                               std::size_t bufferBytes) = 0;
  // The data of the value `name`, at most `maxBytes` of it: none when the value is missing
  // or larger (the buffer is never grown to what the registry claims).
  virtual std::optional<std::vector<std::uint8_t>> ValueData(TKey key, const std::string& name,
                                                             std::size_t maxBytes) = 0;
  virtual void CloseKey(TKey key) = 0;
};

// The registry of the system the process runs on (on Linux: none).
TRegistry& SystemRegistry();
// A registry in which no key opens.
TRegistry& NoRegistry();

// The registry the tool reads: the stand-in when one is installed; no registry under
// GAVRELO_BOARD; otherwise SystemRegistry().
TRegistry& MachineRegistry();
void SetRegistryStandIn(TRegistry& registry);
void ClearRegistryStandIn();

}  // namespace host
