#include "hwaccess/OsVersion.h"

#include "diag/ProcessState.h"
#include "host/LinuxMachine.h"
#include "hwaccess/LoadDriver.h"

namespace {
TOsVersion* g_instance = nullptr;
}

TOsVersion& TOsVersion::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TOsVersion();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TOsVersion::ResetInstance);
  }
  return *g_instance;
}

void TOsVersion::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

// The version record comes from the back end the driver runs on: a virtual board states
// the Windows it pretends to be (so the 9x paths can run), the Linux back end reports an
// NT 10.0 class. When the back end could not be opened the host's own facts are used, so
// the loader still takes the driver path and reports the failure.
TOsVersion::TOsVersion() {
  TOsVersionInfo info;
  TMachine* machine = TLoadDriver::Machine();
  const bool ok = machine != nullptr ? machine->QueryOsVersion(info) : host::HostOsVersion(info);
  if (!ok) {
    m_Flags = 0;
    return;
  }
  m_ProcessorCount = info.ProcessorCount;
  m_Wow64 = info.Wow64;
  m_Flags = Classify(info.PlatformId, info.Major, info.Minor, info.Architecture);
}

bool TOsVersion::IsNativeProcess() const { return !m_Wow64; }

std::uint32_t TOsVersion::Classify(std::uint32_t platformId, std::uint32_t major,
                                   std::uint32_t minor, std::uint32_t architecture) {
  constexpr std::uint32_t kPlatform9x = 1;
  constexpr std::uint32_t kPlatformNt = 2;
  std::uint32_t flags = 0;
  if (platformId == kPlatform9x && major == 4) {
    flags = 0x10;
  } else if (platformId == kPlatformNt) {
    if (major == 5) {
      flags = 0x20;
    } else if (major == 6) {
      static constexpr std::uint32_t kByMinor[] = {0x40, 0xC0, 0x1C0, 0x2C0};
      flags = minor < 4 ? kByMinor[minor] : 0;
    } else if (major == 10 && minor == 0) {
      flags = 0x4C0;
    }
  }
  if (major > 4) {
    if (architecture == 9) flags |= 1;  // x64
    if (architecture == 6) flags |= 2;  // Itanium
  }
  return flags;
}
