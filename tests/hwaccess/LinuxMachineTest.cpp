// The Linux back end: configuration cycles decoded onto sysfs, and the real interfaces when
// this machine lets the test reach them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/LinuxMachine.h"
#include "hwaccess/DriverProtocol.h"
#include "tests/support/TempDir.h"

TEST(LinuxMachine, ConfigurationCyclesGoToTheSysfsFileOfTheFunction) {
  TTempDir root;
  std::filesystem::create_directories(root.Path() / "0000:00:1f.3");
  std::string config(256, '\0');
  for (int i = 0; i < 256; ++i) config[i] = static_cast<char>(i);
  root.Write("0000:00:1f.3/config", config);
  auto machine = TLinuxMachine::PciOnly(root.Path().string());

  std::uint32_t value = 0;
  ASSERT_TRUE(machine->PciConfigRead(drv::PciAddressWord(0, 0x1F, 3, 0x42), drv::PciDataPort(0x42), 2, value));
  EXPECT_EQ(value, 0x4342u);
  ASSERT_TRUE(machine->PciConfigRead(drv::PciAddressWord(0, 0x1F, 3, 0xFC), 0xCFC, 4, value));
  EXPECT_EQ(value, 0xFFFEFDFCu);
  // Beyond the 256 bytes the kernel shows for this function: all ones.
  ASSERT_TRUE(machine->PciConfigRead(drv::PciAddressWord(0, 0x1F, 3, 0x100), 0xCFC, 4, value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  // An absent function reads all ones and swallows writes, as on the bus.
  ASSERT_TRUE(machine->PciConfigRead(drv::PciAddressWord(0, 0x1F, 4, 0), 0xCFC, 4, value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_TRUE(machine->PciConfigWrite(drv::PciAddressWord(0, 0x1F, 4, 0), 0xCFC, 4, 1));

  ASSERT_TRUE(machine->PciConfigWrite(drv::PciAddressWord(0, 0x1F, 3, 0x40), 0xCFD, 1, 0xA5));
  std::ifstream in(root.File("0000:00:1f.3/config"), std::ios::binary);
  std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(static_cast<unsigned char>(after[0x41]), 0xA5);
  EXPECT_EQ(static_cast<unsigned char>(after[0x40]), 0x40);

  // No ports, memory or registers on this machine; control registers never from user space.
  EXPECT_FALSE(machine->PortRead(0x80, 1, value));
  std::uint8_t byte;
  EXPECT_FALSE(machine->MemoryRead(0xF0000, &byte, 1, 1));
  std::uint64_t reg;
  EXPECT_FALSE(machine->ReadCr(0, reg));
  EXPECT_FALSE(machine->ReadPmc(0, reg));
}

TEST(LinuxMachine, RealInterfacesWhenPermitted) {
  std::string why;
  auto machine = TLinuxMachine::Open(why);
  if (!machine) GTEST_SKIP() << "the Linux back end cannot be opened here: " << why;
  std::uint64_t first = 0, second = 0;
  ASSERT_TRUE(machine->ReadTsc(first));
  ASSERT_TRUE(machine->ReadTsc(second));
  EXPECT_GT(second, first);
  // The legacy BIOS area is mapped on every PC.
  std::uint8_t bios[16];
  EXPECT_TRUE(machine->MemoryRead(0xF0000, bios, sizeof(bios), 1));
  // Function 0 of device 0 (the host bridge) reads the same through the cycle and sysfs.
  std::ifstream sysfs("/sys/bus/pci/devices/0000:00:00.0/config", std::ios::binary);
  std::uint32_t fromFile = 0xFFFFFFFF;
  if (sysfs.read(reinterpret_cast<char*>(&fromFile), 4)) {
    std::uint32_t value = 0;
    ASSERT_TRUE(machine->PciConfigRead(0x80000000, 0xCFC, 4, value));
    EXPECT_EQ(value, fromFile);
  }
  std::uint64_t cr = 0;
  EXPECT_FALSE(machine->ReadCr(0, cr));
}
