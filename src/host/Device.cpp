#include "host/Device.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

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
#ifdef _WIN32
  // Far above the handles the system hands out, so an in-process handle is never taken
  // for a real one (DeviceIoControl passes unknown handles on to the system).
  DeviceHandle NextHandle = 0x7F000000;
#else
  DeviceHandle NextHandle = 0x100;
#endif
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
#ifdef _WIN32
    // A handle of a driver the system loaded: the kernel's buffered method does the rest.
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(reinterpret_cast<HANDLE>(handle), code,
                                      const_cast<void*>(input), inputSize, output, outputSize,
                                      &returned, nullptr);
    if (bytesReturned != nullptr) *bytesReturned = returned;
    if (!ok) t_lastError = ::GetLastError();
    return ok != FALSE;
#else
    t_lastError = kErrorInvalidHandle;
    return false;
#endif
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
#if defined(_WIN32)
  if (sizeof(void*) == 4) return ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  // A 64-bit process asks for the lowest free 64 KiB-aligned range below 4 GiB; the walk is
  // bounded by the 65536 candidates there.
  for (std::uintptr_t at = 0x10000; at + size <= 0xFFFFFFFFull; at += 0x10000) {
    if (void* memory = ::VirtualAlloc(reinterpret_cast<void*>(at), size, MEM_RESERVE | MEM_COMMIT,
                                      PAGE_READWRITE)) {
      return memory;
    }
  }
  return nullptr;
#elif defined(MAP_32BIT)
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
#ifdef _WIN32
  (void)size;
  if (memory != nullptr) ::VirtualFree(memory, 0, MEM_RELEASE);
#else
  if (memory != nullptr) munmap(memory, size);
#endif
}

}  // namespace host
