#pragma once
// A process-lifetime named mutex: the only coordination between two running copies of the
// tool. Windows: OpenMutexA, then CreateMutexA (no owner), never closed; a mutex that
// CreateMutexA finds already there counts as held by another copy.
//
// Linux has no system-wide named mutex that the kernel releases when its holder dies, so
// the name is bound as an abstract-namespace Unix socket. Binding is atomic (the "open an
// existing one, else create" test of Windows collapses into one step, which also closes the
// window in which two copies started at the same instant could both pass), and the kernel
// drops the name when the process ends however it ends — kill -9 leaves nothing stale and
// there is no file to clean up.

#include <string>

namespace host {

enum class TMutexResult {
  Created,        // this process now holds the name until it ends
  AlreadyExists,  // another holder (another process, or this one earlier) has it
  Failed,         // the system refused for another reason (treated as "not running")
};

TMutexResult AcquireNamedMutex(const std::string& name);

}  // namespace host
