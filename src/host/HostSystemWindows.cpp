// The host facts the OS probe and the access service ask for, on Windows (declared in
// LinuxMachine.h beside the Linux ones): the version record, the native system information
// and the emulation-layer test, each found at run time as the probe needs them.
#ifdef _WIN32

#include <windows.h>

#include <cpuid.h>

#include "host/LinuxMachine.h"

namespace host {
namespace {

// A kernel32 function looked up at run time (absent on old versions of Windows).
template <typename Function>
Function Kernel32(const char* name) {
  HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  // Through void(*)(), the one function pointer type every other converts to.
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(::GetProcAddress(kernel32, name)));
}

}  // namespace

bool HostOsVersion(TOsVersionInfo& info) {
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return false;
  SYSTEM_INFO system{};
  using TGetNativeSystemInfo = void(WINAPI*)(LPSYSTEM_INFO);
  if (auto native = Kernel32<TGetNativeSystemInfo>("GetNativeSystemInfo")) {
    native(&system);
  } else {
    ::GetSystemInfo(&system);
  }
  info.PlatformId = version.dwPlatformId;
  info.Major = version.dwMajorVersion;
  info.Minor = version.dwMinorVersion;
  info.Architecture = system.wProcessorArchitecture;
  info.ProcessorCount = system.dwNumberOfProcessors;
  // Without IsWow64Process the system has no emulation layer: the process is native.
  using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
  BOOL wow64 = FALSE;
  if (auto isWow64 = Kernel32<TIsWow64Process>("IsWow64Process")) {
    if (!isWow64(::GetCurrentProcess(), &wow64)) wow64 = FALSE;
  }
  info.Wow64 = wow64 != FALSE;
  return true;
}

void NativeCpuid(TCpuidRegisters& regs) {
  unsigned a, b, c, d;
  __cpuid_count(regs.Eax, regs.Ecx, a, b, c, d);
  regs = {a, b, c, d};
}

// Windows has no Linux kernel modules that could share the Super I/O ports.
std::vector<std::string> KernelDrivers(const std::string&, const std::string&) { return {}; }

}  // namespace host

#endif
