#pragma once
// Device files and device-control requests (CreateFileA, DeviceIoControl, CloseHandle on
// Windows).
//
// On Linux the access driver does not live in a kernel: it runs in this process. A driver
// object registers itself under its device name (RegisterDevice("OrvDrv101", ...)) and is
// then opened through the usual path "\\.\OrvDrv101". DeviceIoControl behaves as the
// buffered method does: the input is copied into one system buffer of
// max(inputSize, outputSize) bytes, the driver works on that buffer in place, and the first
// `information` bytes of it are copied back to the output. So a driver that stores only the
// low byte of a reply leaves the other bytes exactly as the caller sent them.
//
// On Windows the same registry serves runs on a virtual board; a handle that the system's
// CreateFileA opened on the kernel driver is not in it, and DeviceIoControl passes such a
// handle on to the system's own call.

#include <cstdint>
#include <string>
#include <string_view>

namespace host {

using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle kInvalidDeviceHandle = -1;

// Windows error codes the device layer reports through LastError().
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorGenFailure = 31;

// A driver that answers device-control requests.
class TDeviceObject {
 public:
  virtual ~TDeviceObject() = default;
  // Performs one request on the system buffer `buffer` (inputLength bytes of request,
  // room for outputLength bytes of reply) and returns the NTSTATUS; `information` is the
  // number of reply bytes.
  virtual std::uint32_t Dispatch(std::uint32_t code, void* buffer, std::uint32_t inputLength,
                                 std::uint32_t outputLength, std::uint32_t& information) = 0;
};

// Registers `device` (not owned) under `name`, replacing an earlier registration of that
// name. Handles opened on the earlier object stay bound to it until closed.
void RegisterDevice(std::string_view name, TDeviceObject* device);
// Removes the registration; open handles on it become invalid.
void UnregisterDevice(std::string_view name);

// Opens "\\.\NAME" for a registered NAME; kInvalidDeviceHandle (LastError() = 2) otherwise.
DeviceHandle OpenDevice(std::string_view path);
// One device-control request; true when the driver completed it with success.
// `bytesReturned` (may be null) receives the information count.
bool DeviceIoControl(DeviceHandle handle, std::uint32_t code, const void* input,
                     std::uint32_t inputSize, void* output, std::uint32_t outputSize,
                     std::uint32_t* bytesReturned);
bool CloseDevice(DeviceHandle handle);

// Error code of the last failed call of this layer on this thread.
std::uint32_t LastError();

// Memory whose addresses fit in 32 bits, for the page mappings of the Windows 9x driver
// build, whose replies carry 32-bit linear addresses. Null when none is available.
void* AllocateLow32(std::size_t size);
void FreeLow32(void* memory, std::size_t size);

}  // namespace host
