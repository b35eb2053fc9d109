// The named mutex on Windows (NamedMutex.h).
#ifdef _WIN32

#include <windows.h>

#include "host/NamedMutex.h"

namespace host {

// An existing mutex of the name means another copy runs. Otherwise the mutex is created,
// not owned, and its handle stays open until the process ends, when the system removes
// it. Two copies started at the same instant may both fail to open it; the one whose
// CreateMutexA finds the mutex already there (ERROR_ALREADY_EXISTS) is refused too, so
// only one of them goes on.
TMutexResult AcquireNamedMutex(const std::string& name) {
  if (HANDLE existing = ::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str())) {
    ::CloseHandle(existing);
    return TMutexResult::AlreadyExists;
  }
  HANDLE created = ::CreateMutexA(nullptr, FALSE, name.c_str());
  if (created == nullptr) return TMutexResult::Failed;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(created);
    return TMutexResult::AlreadyExists;
  }
  return TMutexResult::Created;  // never closed: held until the process ends
}

}  // namespace host

#endif
