// The system registry on Windows (Registry.h).
#ifdef _WIN32

#include <windows.h>

#include "host/Registry.h"

namespace host {
namespace {

HKEY Handle(TRegistry::TKey key) { return static_cast<HKEY>(key); }

class TWin32Registry final : public TRegistry {
 public:
  TKey OpenKey(const std::string& path) override {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return nullptr;
    return key;
  }

  std::optional<std::string> SubkeyName(TKey key, std::uint32_t index,
                                        std::size_t bufferBytes) override {
    std::string name(bufferBytes, '\0');
    DWORD length = static_cast<DWORD>(bufferBytes);  // in characters, the zero included
    if (::RegEnumKeyExA(Handle(key), index, name.data(), &length, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    name.resize(length);
    return name;
  }

  std::optional<std::string> ValueName(TKey key, std::uint32_t index,
                                       std::size_t bufferBytes) override {
    std::string name(bufferBytes, '\0');
    DWORD length = static_cast<DWORD>(bufferBytes);
    if (::RegEnumValueA(Handle(key), index, name.data(), &length, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    name.resize(length);
    return name;
  }

  std::optional<std::vector<std::uint8_t>> ValueData(TKey key, const std::string& name,
                                                     std::size_t maxBytes) override {
    std::vector<std::uint8_t> data(maxBytes);
    DWORD size = static_cast<DWORD>(maxBytes);
    // A larger value fails with ERROR_MORE_DATA and is not read at all.
    if (::RegQueryValueExA(Handle(key), name.c_str(), nullptr, nullptr, data.data(), &size) !=
            ERROR_SUCCESS ||
        size > maxBytes)
      return std::nullopt;
    data.resize(size);
    return data;
  }

  void CloseKey(TKey key) override {
    if (key != nullptr) ::RegCloseKey(Handle(key));
  }
};

}  // namespace

TRegistry& SystemRegistry() {
  static TWin32Registry registry;
  return registry;
}

}  // namespace host

#endif
