#pragma once
// Test double of the start-up flow's services: records every singleton request, pause,
// process end and pin write in order, and stands in for the Super I/O pin owner.

#include <cstdio>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/StartupServices.h"
#include "gpio/GpioBase.h"

class TRecordingOwner : public TGpioBase {
 public:
  explicit TRecordingOwner(std::vector<std::string>& events) : m_Events(events) {}
  void ReadGPIO() override { m_Events.push_back("ReadGPIO"); }
  void WriteGPIO(std::uint8_t pin, std::uint8_t mode) override {
    char text[48];
    std::snprintf(text, sizeof text, "WriteGPIO %u 0x%02X", pin, mode);
    m_Events.push_back(text);
  }
  void EnableGPIOGroup(std::uint8_t pin) override {
    m_Events.push_back("EnableGPIOGroup " + std::to_string(pin));
  }

 private:
  std::vector<std::string>& m_Events;
};

class TRecordingServices : public TStartupServices {
 public:
  explicit TRecordingServices(std::string executablePath, std::wstring modelName = L"GavreloDemo")
      : ModelName(std::move(modelName)), Path(std::move(executablePath)) {}

  void RequestModelConfiguration() override { Events.push_back("ModelConfiguration"); }
  std::wstring RequestModelName() override {
    Events.push_back("ModelName");
    return ModelName;
  }
  void RequestReadWrite() override { Events.push_back("ReadWrite"); }
  TGpioBase* BuildSuperIo(std::uint16_t port) override {
    char text[32];
    std::snprintf(text, sizeof text, "BuildSuperIo 0x%X", port);
    Events.push_back(text);
    return &Owner;
  }
  std::string ExecutablePath() override { return Path; }
  void Sleep(std::uint32_t milliseconds) override {
    Events.push_back("Sleep " + std::to_string(milliseconds));
  }
  // The process would be gone here: nothing of the flow may wait after it, so the message
  // loop that follows in the test's process is asked to end as well.
  void EndProcess(int exitCode) override {
    Events.push_back("EndProcess " + std::to_string(exitCode));
    TApplication::Instance().Terminate();
  }

  std::vector<std::string> Events;
  std::wstring ModelName;
  std::string Path;
  TRecordingOwner Owner{Events};
};
