#pragma once
// TAccessDriver: the access driver OrvDrv101 itself. It has no logic of its own: each
// device-control request carries one primitive operation, which it performs on a machine
// back end (host/Machine.h) and completes with an NTSTATUS and a reply size.
//
// On Linux it runs in-process: the loader registers it with the host device layer under
// its device name, and the access service talks to it through DeviceIoControl record for
// record, exactly as to the kernel driver.
//
// The dispatcher itself (hwaccess/DriverDispatch.h) is the kernel driver's own source; it
// checks every buffer length, unit and length before the back end is touched. Here it runs
// on a TMachine, and in addition:
//   - a port, PCI, MSR or counter request that the back end cannot perform (the interface
//     is missing, or the virtual board injects a fault) fails with 0xC0000001, so the
//     service reports its failure values instead of stale data;
//   - a memory request whose Buffer does not fit in this process's pointers fails with
//     0xC000000D.

#include <cstdint>
#include <map>
#include <vector>

#include "host/Device.h"
#include "host/Machine.h"
#include "hwaccess/DriverDispatch.h"

class TAccessDriver : public host::TDeviceObject {
 public:
  using TBuild = drv::TBuild;

  explicit TAccessDriver(TMachine& machine, TBuild build = TBuild::Nt64);
  ~TAccessDriver() override;
  TAccessDriver(const TAccessDriver&) = delete;
  TAccessDriver& operator=(const TAccessDriver&) = delete;

  std::uint32_t Dispatch(std::uint32_t code, void* buffer, std::uint32_t inputLength,
                         std::uint32_t outputLength, std::uint32_t& information) override;

  TBuild Build() const { return m_Build; }
  TMachine& Machine() { return m_Machine; }

 private:
  class TDispatchMachine;
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
