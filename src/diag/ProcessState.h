#pragma once
// Process-wide state and how tests get a fresh copy of it.
//
// Every long-lived object of the tool is a singleton that is created on first request and
// never destroyed during a run. Tests, however, need each case to start as a new process
// would. The one way to get that is ResetProcessStateForTests(): every singleton registers a
// reset function when it is created, and the reset runs them newest first (so an object is
// reset before the objects it was built from). Production code never calls it.

namespace gavrelo {

using TResetFunction = void (*)();

// Called by a singleton accessor right after it created its instance.
void RegisterProcessReset(TResetFunction reset);

// Destroys every registered singleton, newest first, and clears the registry. Tests only.
void ResetProcessStateForTests();

}  // namespace gavrelo
