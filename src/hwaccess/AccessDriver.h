#pragma once
// TAccessDriver: the access driver OrvDrv101 itself. It has no logic of its own: each
// device-control request carries one primitive operation, which it performs on a machine
// back end (host/Machine.h) and completes with an NTSTATUS and a reply size.
//
// On Linux it runs in-process: the loader registers it with the host device layer under
// its device name, and the access service talks to it through DeviceIoControl record for
// record, exactly as to the kernel driver.
//
// Validation the kernel driver leaves out (it trusts its one caller), decided here:
//   - An input buffer shorter than the request record, or an output buffer shorter than
//     the reply, fails with 0xC000000D before anything is touched.
//   - A memory request with Unit other than 0, 1, 2, a Length that is not a multiple of the
//     unit's width, or a null Buffer fails with 0xC000000D. Length 0 moves nothing and
//     succeeds.
//   - A port, PCI, MSR or counter request that the back end cannot perform (the interface
//     is missing, or the virtual board injects a fault) fails with 0xC0000001, so the
//     service reports its failure values instead of stale data.

#include <cstdint>
#include <map>
#include <vector>

#include "host/Device.h"
#include "host/Machine.h"

class TAccessDriver : public host::TDeviceObject {
 public:
  enum class TBuild {
    Nt64,   // the x64 and Itanium kernel drivers
    Nt32,   // the 32-bit kernel driver: control registers are 32 bits wide
    Win9x,  // the dynamically loaded driver of Windows 95/98/Me: codes 0x222800..0x222848
  };

  explicit TAccessDriver(TMachine& machine, TBuild build = TBuild::Nt64);
  ~TAccessDriver() override;
  TAccessDriver(const TAccessDriver&) = delete;
  TAccessDriver& operator=(const TAccessDriver&) = delete;

  std::uint32_t Dispatch(std::uint32_t code, void* buffer, std::uint32_t inputLength,
                         std::uint32_t outputLength, std::uint32_t& information) override;

  TBuild Build() const { return m_Build; }
  TMachine& Machine() { return m_Machine; }

 private:
  std::uint32_t Memory(bool write, void* buffer, std::uint32_t& information);
  std::uint32_t MapPage(void* buffer, std::uint32_t& information);
  std::uint32_t UnmapPage(void* buffer);

  TMachine& m_Machine;
  TBuild m_Build;
  // Windows 9x page mappings: linear page address -> the physical page and the bytes it
  // held when mapped (so the release writes back only what the caller changed).
  struct TPageMapping {
    std::uint64_t Physical = 0;
    void* Linear = nullptr;
    std::vector<std::uint8_t> Original;
  };
  std::map<std::uint32_t, TPageMapping> m_Pages;
};
