#pragma once
// What the start-up flow needs from the rest of the tool, in one place: the process-wide
// singletons the main form's constructor requests (in the order it requests them) and the
// few process facilities of the INI test (executable path, sleep, ending the process).
//
// DefaultStartupServices() is the tool itself: each request is one method whose body
// obtains the singleton of its subsystem. Tests hand the flow a double of this interface
// that records the requests and stands in for the Super I/O pin owner.

#include <cstdint>
#include <string>

class TGpioBase;

class TStartupServices {
 public:
  virtual ~TStartupServices() = default;

  // 1. TOrvModelConfig::Instance() — the XML model configuration (its first request).
  virtual void RequestModelConfiguration() = 0;
  // 2. TOrvSpec::Instance() — the board description; its ModelName is the INI section.
  virtual std::wstring RequestModelName() = 0;
  // 3. TReadWrite::Instance() — the hardware access service.
  virtual void RequestReadWrite() = 0;
  // 4. TSioBuilder::Instance().Build(configPort) — the object of the detected Super I/O
  //    family at that configuration port, as the pin owner the INI test drives. Never null
  //    in the tool: without a recognised chip it is a generic object whose writes do nothing.
  virtual TGpioBase* BuildSuperIo(std::uint16_t configPort) = 0;

  // Absolute path of the running executable.
  virtual std::string ExecutablePath() = 0;
  // Blocks for `milliseconds`.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Ends the process at once with `exitCode` (the tool's version never returns).
  virtual void EndProcess(int exitCode) = 0;
};

// The services of the tool itself (a process-wide object).
TStartupServices& DefaultStartupServices();
