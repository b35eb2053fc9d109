// The OS probe's classification and the driver image and path choice built on it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "hwaccess/LoadDriver.h"
#include "hwaccess/OsVersion.h"
#include "hwaccess/RwDrvData.h"
#include "sim/VirtualBoard.h"

TEST(OsProbe, ClassifiesWindowsVersions) {
  struct TCase {
    std::uint32_t Platform, Major, Minor, Architecture, Flags;
  } cases[] = {
      {1, 4, 10, 0, 0x10},   {1, 4, 90, 0, 0x10},   {2, 5, 1, 0, 0x20},    {2, 5, 2, 9, 0x21},
      {2, 6, 0, 0, 0x40},    {2, 6, 1, 9, 0xC1},    {2, 6, 2, 0, 0x1C0},   {2, 6, 3, 6, 0x2C2},
      {2, 10, 0, 9, 0x4C1},  {2, 4, 0, 9, 0},       {0, 3, 10, 0, 0},      {2, 6, 4, 0, 0},
      {2, 10, 1, 0, 0},      {1, 5, 0, 0, 0},   {2, 11, 0, 9, 0x1},    {1, 4, 0, 9, 0x10},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TOsVersion::Classify(c.Platform, c.Major, c.Minor, c.Architecture), c.Flags)
        << c.Platform << " " << c.Major << "." << c.Minor << " arch " << c.Architecture;
  }
}

TEST(OsProbe, ImageChoiceAndPaths) {
  EXPECT_EQ(TRwDrvData::Choose(0x10, true).Kind, TRwDrvData::TKind::Win9x);
  // A native 32-bit process runs on a 32-bit Windows...
  EXPECT_EQ(TRwDrvData::Choose(0x21, true, 32).Kind, TRwDrvData::TKind::Nt32);
  EXPECT_EQ(TRwDrvData::Choose(0x4C0, true, 32).Kind, TRwDrvData::TKind::Nt32);
  // ...a native 64-bit one on the 64-bit system, whose kernel loads only its own image.
  EXPECT_EQ(TRwDrvData::Choose(0x21, true, 64).Kind, TRwDrvData::TKind::X64);
  EXPECT_EQ(TRwDrvData::Choose(0x4C1, true, 64).Kind, TRwDrvData::TKind::X64);
  EXPECT_EQ(TRwDrvData::Choose(0x2C2, true, 64).Kind, TRwDrvData::TKind::Itanium);
  EXPECT_EQ(TRwDrvData::Choose(0x4C0, true, 64).Kind, TRwDrvData::TKind::Nt32);
  EXPECT_EQ(TRwDrvData::Choose(0xC1, false).Kind, TRwDrvData::TKind::X64);
  EXPECT_EQ(TRwDrvData::Choose(0x42, false).Kind, TRwDrvData::TKind::Itanium);
  EXPECT_EQ(TRwDrvData::Choose(0x40, false).Kind, TRwDrvData::TKind::None);
  EXPECT_EQ(TRwDrvData::Choose(0xC1, false).WindowsLength(), 22280u);
  // A 32-bit process on 64-bit Windows: the x64 image under SysWOW64's Drivers folder.
  EXPECT_EQ(TRwDrvData::DriverFilePath(0xC1, false, "C:\\Windows\\system32", "C:\\Windows"),
            "C:\\Windows\\SysWOW64\\Drivers\\OrvDrv101.sys");
  EXPECT_EQ(TRwDrvData::DriverFilePath(0x20, true, "C:\\WINDOWS\\system32", "C:\\WINDOWS"),
            "C:\\WINDOWS\\system32\\Drivers\\OrvDrv101.sys");
  EXPECT_EQ(TRwDrvData::DriverFilePath(0x10, true, "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS"),
            "C:\\WINDOWS\\SYSTEM\\OrvDrv101.vxd");
  EXPECT_EQ(TRwDrvData::DevicePath(0x10, "C:\\WINDOWS\\SYSTEM\\OrvDrv101.vxd"),
            "\\\\.\\C:\\WINDOWS\\SYSTEM\\OrvDrv101.vxd");
  EXPECT_EQ(TRwDrvData::DevicePath(0x4C1, "ignored"), "\\\\.\\OrvDrv101");
  EXPECT_EQ(TRwDrvData::DriverFilePath(0x20, true, std::string(300, 'x'), "").size(), 259u);
}

TEST(OsProbe, ProbeReadsTheBackEndAndLoaderFollowsTheClass) {
  gavrelo::ResetProcessStateForTests();
  TVirtualBoard::Install(TVirtualBoard::FromJson(nlohmann::json::parse(
      R"({"cpu": {"count": 3}, "os": {"platform": 2, "major": 6, "minor": 1, "architecture": 9, "wow64": true}})")));
  EXPECT_EQ(TOsVersion::Instance().Flags(0xFFFF), 0xC1u);
  EXPECT_EQ(TOsVersion::Instance().ProcessorCount(), 3u);
  EXPECT_FALSE(TOsVersion::Instance().IsNativeProcess());
  TLoadDriver& loader = TLoadDriver::Instance(false, false, false);
  EXPECT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  EXPECT_EQ(loader.Image.Kind, TRwDrvData::TKind::X64);

  // Below class 0x10 (here NT 4): no driver at all.
  gavrelo::ResetProcessStateForTests();
  TVirtualBoard::Install(TVirtualBoard::FromJson(nlohmann::json::parse(R"({"os": {"major": 4}})")));
  EXPECT_EQ(TLoadDriver::Instance(false, false, false).DeviceHandle(), host::kInvalidDeviceHandle);
  gavrelo::ResetProcessStateForTests();
}

TEST(OsProbe, KernelDriversSharingTheConfigurationPortsAreRecognised) {
  EXPECT_EQ(TLoadDriver::ConflictingModules({"snd_hda_intel", "nct6775", "it87", "gpio_f7188x", "nct"}),
            (std::vector<std::string>{"nct6775", "it87", "gpio_f7188x"}));
}
