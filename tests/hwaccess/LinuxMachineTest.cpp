// The Linux back end: configuration cycles decoded onto sysfs, and the real interfaces when
// this machine lets the test reach them.

#ifndef _WIN32  // the Linux back end exists only there

#include <gtest/gtest.h>

#include <filesystem>
#include <cerrno>
#include <fstream>

#include <map>

#include "host/LinuxMachine.h"
#include "hwaccess/LoadDriver.h"
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

namespace {

// A Linux back end whose /dev/mem is a byte array: pages listed in `Refused` fail the
// uncached mapping with their errno; EAGAIN pages map when a cached mapping is asked for.
class TFakeMemMachine : public TLinuxMachine {
 public:
  TFakeMemMachine() : Memory(0x10000, 0) {}
  std::vector<std::uint8_t> Memory;       // physical 0 .. 0xFFFF
  std::map<std::uint64_t, int> Refused;   // page -> errno
  std::vector<std::string> Notes;
  std::vector<std::pair<std::uint64_t, bool>> Maps;  // base, cached

 protected:
  void* MapPhysical(std::uint64_t base, std::uint64_t span, bool, bool cached, int& error) override {
    Maps.push_back({base, cached});
    for (std::uint64_t page = base; page < base + span; page += 4096) {
      auto it = Refused.find(page);
      if (it != Refused.end() && !(cached && it->second == EAGAIN)) {
        error = it->second;
        return nullptr;
      }
    }
    if (base + span > Memory.size()) {
      error = EINVAL;
      return nullptr;
    }
    return Memory.data() + base;
  }
  void UnmapPhysical(void*, std::uint64_t) override {}
};

}  // namespace

TEST(LinuxMachine, RefusedRangesTakeTheCachedMappingTheWindowOrTheTableCopiesAndAreNotedOnce) {
  TTempDir root;
  // The PCI Express window at 0x8000 (bus 0) with a 4096-byte function 00:00.1.
  root.Write("iomem", "00000000-00007fff : System RAM\n00008000-0000ffff : PCI MMCONFIG 0000 [bus 00-00]\n");
  std::filesystem::create_directories(root.Path() / "pci" / "0000:00:00.1");
  std::string config(4096, '\0');
  for (int i = 0; i < 4096; ++i) config[i] = static_cast<char>(i * 7);
  root.Write("pci/0000:00:00.1/config", config);
  // The kernel's copies: a FADT naming the FACS at 0x5000 and the DSDT at 0x6000.
  std::filesystem::create_directories(root.Path() / "fw" / "acpi" / "tables");
  std::filesystem::create_directories(root.Path() / "fw" / "dmi" / "tables");
  std::string fadt(116, '\0');
  fadt.replace(0, 4, "FACP");
  fadt[36] = 0x00; fadt[37] = 0x50;
  fadt[40] = 0x00; fadt[41] = 0x60;
  root.Write("fw/acpi/tables/FACP", fadt);
  root.Write("fw/acpi/tables/FACS", std::string("FACS") + std::string(60, 'f'));
  root.Write("fw/acpi/tables/DSDT", std::string("DSDT") + std::string(40, 'd'));
  std::string entry(31, '\0');
  entry.replace(0, 4, "_SM_");
  entry[24] = 0x00; entry[25] = 0x70;  // table at 0x7000
  root.Write("fw/dmi/tables/smbios_entry_point", entry);
  root.Write("fw/dmi/tables/DMI", "\x7F\x04\x00\x00\x00\x00");

  TFakeMemMachine machine;
  machine.PciRoot = (root.Path() / "pci").string();
  machine.FirmwareRoot = (root.Path() / "fw").string();
  machine.IomemPath = root.File("iomem");
  machine.Notice = [&](const std::string& text) { machine.Notes.push_back(text); };
  for (std::uint64_t page = 0x5000; page < 0x10000; page += 0x1000) machine.Refused[page] = EPERM;
  machine.Refused[0x3000] = EAGAIN;  // PAT: the kernel maps it write-back
  machine.Memory[0x3004] = 0x5A;
  machine.Memory[0x1001] = 0x11; machine.Memory[0x1002] = 0x22; machine.Memory[0x1003] = 0x33; machine.Memory[0x1004] = 0x44;

  std::uint32_t dword = 0;
  // An unaligned dword is split into bytes, not dereferenced misaligned.
  ASSERT_TRUE(machine.MemoryRead(0x1001, &dword, 4, 4));
  EXPECT_EQ(dword, 0x44332211u);
  // EAGAIN: read again through the cached mapping; a write stays refused.
  std::uint8_t byte = 0;
  ASSERT_TRUE(machine.MemoryRead(0x3004, &byte, 1, 1));
  EXPECT_EQ(byte, 0x5A);
  EXPECT_TRUE(machine.Maps.back().second);
  EXPECT_FALSE(machine.MemoryWrite(0x3004, &byte, 1, 1));
  // The window: register 0x104 of 00:00.1 comes from its config file.
  ASSERT_TRUE(machine.MemoryRead(0x8000 + 0x1000 * 1 + 0x104, &dword, 4, 4));
  EXPECT_EQ(dword, static_cast<std::uint32_t>((0x104 * 7 & 0xFF) | (0x105 * 7 & 0xFF) << 8 |
                                              (0x106 * 7 & 0xFF) << 16 | (0x107 * 7 & 0xFF) << 24));
  // An absent function in the window reads all ones.
  ASSERT_TRUE(machine.MemoryRead(0x8000 + 0x1000 * 2, &dword, 4, 4));
  EXPECT_EQ(dword, 0xFFFFFFFFu);
  // The copies at the addresses the FADT and the entry point name.
  char text[4];
  ASSERT_TRUE(machine.MemoryRead(0x6000, text, 4, 1));
  EXPECT_EQ(std::string(text, 4), "DSDT");
  ASSERT_TRUE(machine.MemoryRead(0x5000, text, 4, 1));
  EXPECT_EQ(std::string(text, 4), "FACS");
  ASSERT_TRUE(machine.MemoryRead(0x7000, &byte, 1, 1));
  EXPECT_EQ(byte, 0x7F);
  // Past the copy: refused; refused twice, noted once, with the errno.
  EXPECT_FALSE(machine.MemoryRead(0x6100, &byte, 1, 1));
  EXPECT_FALSE(machine.MemoryRead(0x6100, &byte, 1, 1));
  int refusals = 0;
  for (const std::string& note : machine.Notes) {
    if (note.find("[0x6000-0x6FFF] read refused: EPERM") != std::string::npos) ++refusals;
  }
  EXPECT_EQ(refusals, 1);
  bool patNoted = false;
  for (const std::string& note : machine.Notes) patNoted |= note.find("EAGAIN") != std::string::npos;
  EXPECT_TRUE(patNoted);
}

TEST(LinuxMachine, OnlyAMissingConfigFileIsAnAbsentFunction) {
  TTempDir root;
  // 00:02.0's config file exists but cannot be opened (a symbolic link to itself).
  std::filesystem::create_directories(root.Path() / "0000:00:02.0");
  std::filesystem::create_symlink("config", root.Path() / "0000:00:02.0" / "config");
  std::vector<std::string> notes;
  auto machine = TLinuxMachine::PciOnly(root.Path().string());
  machine->Notice = [&](const std::string& text) { notes.push_back(text); };
  std::uint32_t value = 0;
  EXPECT_FALSE(machine->PciConfigRead(drv::PciAddressWord(0, 2, 0, 0), 0xCFC, 4, value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_FALSE(machine->PciConfigWrite(drv::PciAddressWord(0, 2, 0, 0x40), 0xCFC, 4, 1));
  EXPECT_FALSE(machine->PciConfigRead(drv::PciAddressWord(0, 2, 0, 0), 0xCFC, 4, value));
  ASSERT_EQ(notes.size(), 2u);  // once for reading, once for writing
  EXPECT_NE(notes[0].find("00:02.0"), std::string::npos);
  // A function without a file is absent: all ones, writes go nowhere, nothing to note.
  EXPECT_TRUE(machine->PciConfigRead(drv::PciAddressWord(0, 3, 0, 0), 0xCFC, 4, value));
  EXPECT_TRUE(machine->PciConfigWrite(drv::PciAddressWord(0, 3, 0, 0), 0xCFC, 4, 1));
  EXPECT_EQ(notes.size(), 2u);
}

TEST(LinuxMachine, KernelDriversIncludeBuiltInOnes) {
  TTempDir root;
  root.Write("modules", "it87 61440 0 - Live 0x0000000000000000\nmsr 16384 0 - Live 0x0\n");
  std::filesystem::create_directories(root.Path() / "module" / "w83627hf_wdt");  // built in
  std::filesystem::create_directories(root.Path() / "module" / "msr");
  const auto drivers = host::KernelDrivers(root.File("modules"), (root.Path() / "module").string());
  EXPECT_EQ(drivers, (std::vector<std::string>{"it87", "msr", "w83627hf_wdt"}));
  EXPECT_EQ(TLoadDriver::ConflictingModules(drivers), (std::vector<std::string>{"it87", "w83627hf_wdt"}));
}

// The tally gavreloctl --debug prints: every request counted, failed ones too, under its own
// kind with the function and register it named; only the first 16 distinct targets listed.
TEST(LinuxMachine, AccessTallyNamesEveryRequestByKind) {
  TTempDir root;
  std::filesystem::create_directories(root.Path() / "0000:00:1f.0");
  root.Write("0000:00:1f.0/config", std::string(256, '\0'));
  auto machine = TLinuxMachine::PciOnly(root.Path().string());
  EXPECT_EQ(machine->AccessSummary(),
            "port reads none; port writes none; PCI configuration reads none; PCI configuration "
            "writes none; memory reads none; memory writes none; MSR reads none; MSR writes none");

  std::uint32_t value = 0;
  machine->PciConfigRead(drv::PciAddressWord(0, 0x1F, 0, 0x58), 0xCFC, 4, value);
  machine->PciConfigRead(drv::PciAddressWord(0, 0x1F, 0, 0x48), 0xCFC, 4, value);
  machine->PciConfigRead(drv::PciAddressWord(0, 0x1F, 0, 0x48), 0xCFC, 4, value);
  machine->PciConfigWrite(drv::PciAddressWord(0, 0x1F, 0, 0x40), 0xCFE, 1, 0);
  EXPECT_FALSE(machine->PortRead(0x500, 4, value));  // no ports here: failed, still counted
  std::uint8_t byte = 0;
  EXPECT_FALSE(machine->MemoryWrite(0xFEC00000, &byte, 1, 1));
  std::uint64_t msr = 0;
  machine->ReadMsr(0x1B, msr);
  EXPECT_EQ(machine->AccessSummary(),
            "port reads 1: 0x500; port writes none; PCI configuration reads 3: 00:1f.0 0x48, "
            "00:1f.0 0x58; PCI configuration writes 1: 00:1f.0 0x42; memory reads none; memory "
            "writes 1: 0xFEC00000; MSR reads 1: 0x1B; MSR writes none");

  for (std::uint16_t port = 0x70; port < 0x90; ++port) machine->PortWrite(port, 1, 0);
  const auto& writes = machine->Accesses(TLinuxMachine::TAccessKind::PortWrite);
  EXPECT_EQ(writes.Count, 32u);
  EXPECT_EQ(writes.Targets.size(), TLinuxMachine::kListedTargets);
  EXPECT_NE(machine->AccessSummary().find("port writes 32: 0x70, 0x71, "), std::string::npos);
  EXPECT_NE(machine->AccessSummary().find("0x7F, ...; PCI"), std::string::npos);
}
#endif
