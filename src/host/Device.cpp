#include "host/Device.h"

#include <sys/mman.h>

#include <cstring>
#include <map>
#include <vector>

namespace host {
namespace {

// All device I/O runs on the main thread (the access service is not reentrant), so the
// tables need no lock.
struct TDeviceTable {
  std::map<std::string, TDeviceObject*, std::less<>> ByName;
  std::map<DeviceHandle, TDeviceObject*> Open;
  DeviceHandle NextHandle = 0x100;
};

TDeviceTable& Table() {
  static TDeviceTable* table = new TDeviceTable();  // lives until the process ends
  return *table;
}

thread_local std::uint32_t t_lastError = kErrorSuccess;

constexpr std::string_view kDevicePrefix = "\\\\.\\";

}  // namespace

void RegisterDevice(std::string_view name, TDeviceObject* device) {
  Table().ByName[std::string(name)] = device;
}

void UnregisterDevice(std::string_view name) {
  auto& table = Table();
  auto it = table.ByName.find(name);
  if (it == table.ByName.end()) return;
  TDeviceObject* device = it->second;
  table.ByName.erase(it);
  for (auto open = table.Open.begin(); open != table.Open.end();) {
    if (open->second == device) {
      open = table.Open.erase(open);
    } else {
      ++open;
    }
  }
}

DeviceHandle OpenDevice(std::string_view path) {
  auto& table = Table();
  if (path.substr(0, kDevicePrefix.size()) != kDevicePrefix) {
    t_lastError = kErrorFileNotFound;
    return kInvalidDeviceHandle;
  }
  auto it = table.ByName.find(path.substr(kDevicePrefix.size()));
  if (it == table.ByName.end() || it->second == nullptr) {
    t_lastError = kErrorFileNotFound;
    return kInvalidDeviceHandle;
  }
  DeviceHandle handle = table.NextHandle;
  table.NextHandle += 4;
  table.Open[handle] = it->second;
  return handle;
}

bool DeviceIoControl(DeviceHandle handle, std::uint32_t code, const void* input,
                     std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                     std::uint32_t* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  auto& table = Table();
  auto it = table.Open.find(handle);
  if (it == table.Open.end()) {
    t_lastError = kErrorInvalidHandle;
    return false;
  }
  // The buffered method's system buffer. Requests of this tool are at most 24 bytes; a
  // small fixed buffer keeps the common path free of allocation.
  const std::uint32_t size = inputSize > outputSize ? inputSize : outputSize;
  alignas(8) unsigned char local[64];
  std::vector<unsigned char> large;
  unsigned char* buffer = local;
  if (size > sizeof(local)) {
    large.resize(size);
    buffer = large.data();
  }
  if (inputSize != 0 && input != nullptr) std::memcpy(buffer, input, inputSize);
  if (size > inputSize) std::memset(buffer + inputSize, 0, size - inputSize);
  std::uint32_t information = 0;
  const std::uint32_t status =
      it->second->Dispatch(code, buffer, input != nullptr ? inputSize : 0,
                           output != nullptr ? outputSize : 0, information);
  if (information > outputSize) information = outputSize;
  if (information != 0 && output != nullptr) std::memcpy(output, buffer, information);
  if (bytesReturned != nullptr) *bytesReturned = information;
  if (status != 0) {
    t_lastError = kErrorGenFailure;
    return false;
  }
  return true;
}

bool CloseDevice(DeviceHandle handle) {
  if (Table().Open.erase(handle) == 0) {
    t_lastError = kErrorInvalidHandle;
    return false;
  }
  return true;
}

std::uint32_t LastError() { return t_lastError; }

void* AllocateLow32(std::size_t size) {
#if defined(MAP_32BIT)
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (memory == MAP_FAILED) return nullptr;
  if (reinterpret_cast<std::uintptr_t>(memory) + size > 0xFFFFFFFFull) {
    munmap(memory, size);
    return nullptr;
  }
  return memory;
#else
  // Without MAP_32BIT only a 32-bit process gets such addresses from an ordinary mapping.
  if (sizeof(void*) != 4) return nullptr;
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
#endif
}

void FreeLow32(void* memory, std::size_t size) {
  if (memory != nullptr) munmap(memory, size);
}

}  // namespace host
