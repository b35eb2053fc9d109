// The platform commands on a virtual board with PCI functions, memory, MSRs, control
// registers, counters and CPUID leaves: messages, variables, dump formats and files.

#include <cstring>
#include <filesystem>
#include <fstream>

#include "ScriptTestBoard.h"
#include "hwaccess/ReadWrite.h"

namespace {

constexpr std::uint64_t kEcam = 0xE0000000;
constexpr std::uint64_t kRom = 0xF0000;

std::uint32_t Dword(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

class PlatformTest : public ScriptTest {
 protected:
  void Build(TVirtualBoard& board) override {
    ScriptTest::Build(board);
    board.AddPciFunction(0x0000, std::make_unique<TPciFunction>(
                                     TPciFunction::Header(0x8086, 0x5904, 0x060000, 2, 0, 256)));
    board.AddPciFunction(0x00F8, std::make_unique<TPciFunction>(
                                     TPciFunction::Header(0x8086, 0x9D4E, 0x060100, 0x21, 0x80, 4096)));
    auto audio = TPciFunction::Header(0x8086, 0x9D71, 0x040300, 0x21, 0, 4096);
    audio[0x100] = 0x11, audio[0x101] = 0x22, audio[0x102] = 0x33, audio[0x103] = 0x44;
    board.AddPciFunction(0x00FB, std::make_unique<TPciFunction>(audio));
    board.AddPciFunction(0x00FC, std::make_unique<TPciFunction>(
                                     TPciFunction::Header(0x8086, 0x9D23, 0x0C0503, 0x21, 0, 4096)));
    board.SetEcamWindow(kEcam, 16);

    std::vector<std::uint8_t> rom(0x10000, 0);
    const char head[] = "Gavrelo BIOS\x00\x01\x7F\x80";
    std::memcpy(rom.data(), head, 16);
    std::memcpy(rom.data() + 0x100, "$CN1368$", 8);
    rom[0x180] = 0x37;  // the byte 55 (decimal)
    rom[0x200] = 0x55, rom[0x201] = 0xAA;
    std::memcpy(rom.data() + 0x300, "7 300", 5);
    std::memcpy(rom.data() + 0x400, "55", 2);
    board.AddMemoryRegion(kRom, rom);

    board.Msrs[0x1B] = 0x00000001FEE00900ull;
    board.Msrs[0x10] = 0;
    board.ControlRegisters[0] = 0x80050033;
    board.ControlRegisters[4] = 0x003606E0;
    board.Pmcs[0] = 0x123456789Aull;
    board.Tsc = 0x1122334455667788ull;
    TVirtualBoard::TCpuidLeaf vendor;
    vendor.Leaf = 0;
    vendor.Out = {0x16, 0x756E6547, 0x6C65746E, 0x49656E69};  // "Genu" "ntel" "ineI"
    board.CpuidLeaves.push_back(vendor);
  }

  std::vector<std::uint8_t>& Config(std::uint16_t bdf) { return Board->PciFunction(bdf)->Config(); }
};

TEST_F(PlatformTest, PciSeparateAndPackedForms) {
  Script();
  TReadWrite::Instance().PcieBase = static_cast<std::uint32_t>(kEcam);

  // The separate-field forms check the register against 0xFF before any access.
  EXPECT_FALSE(Run("RPCIE 0 0x1F 3 0x100"));
  EXPECT_EQ(Script().Message, "Operand range is 0 to 0xFF!");
  EXPECT_FALSE(Run("RPCI 0 0x20 0 0"));
  EXPECT_EQ(Script().Message, "Operand range is 0 to 0x1F!");
  EXPECT_FALSE(Run("RPCI 0 0 8 0"));
  EXPECT_EQ(Script().Message, "Operand range is 0 to 0x7!");
  EXPECT_TRUE(Board->Trace().Events().empty());

  // Only the packed PCI Express form reaches the extended space.
  EXPECT_TRUE(Run("Local1=ERPCIE32 0xFB 0x100"));
  EXPECT_EQ(Script().Local[1], 0x44332211);
  EXPECT_TRUE(Run("ERPCIE 0xFB 0x102"));
  EXPECT_EQ(Result, 0x33);
  EXPECT_EQ(Script().Message, "Read PCIE Bus/Dev/Fun/Offset 0x00/0x1F/0x03/0x02 = 0x33");
  EXPECT_TRUE(Run("ERPCI 0xFB 0x08"));
  EXPECT_EQ(Script().Message, "Read PCI Bus/Dev/Fun/Offset 0x00/0x1F/0x03/0x08 = 0x21");
  EXPECT_TRUE(Run("RPCI16 0 0x1F 3 0"));
  EXPECT_EQ(Script().Message, "Read PCI Bus/Dev/Fun/Offset 0x00/0x1F/0x03/0x00 = 0x8086");
  EXPECT_TRUE(Run("RPCIE32 0 0x1F 3 0"));
  EXPECT_EQ(Result, static_cast<std::int32_t>(0x9D718086));
  EXPECT_TRUE(Run("RPCI32 1 0 0 0"));
  EXPECT_EQ(Result, -1) << "an absent function reads all ones";

  // Writes truncate to their width; WPCIE goes through the legacy mechanism; EWPCI takes
  // the register's low byte, EWPCIE all of it.
  Board->Trace().Clear();
  EXPECT_TRUE(Run("WPCI 0 0x1F 3 0x40 0x1AB"));
  EXPECT_EQ(Script().Message, "Write PCI Bus/Dev/Fun/Offset 0x00/0x1F/0x03/0x40 = 0xAB");
  EXPECT_TRUE(Run("WPCIE16 0 0x1F 3 0x44 0x1BEEF"));
  EXPECT_EQ(Script().Message, "Write PCIE Bus/Dev/Fun/Offset 0x00/0x1F/0x03/0x44 = 0xBEEF");
  EXPECT_TRUE(Board->Trace().OfKind(TTraceKind::MemWrite).empty());
  EXPECT_TRUE(Run("EWPCI 0xFB 0x148 0x5A"));
  EXPECT_TRUE(Run("EWPCIE32 0xFB 0x104 0xCAFEF00D"));
  EXPECT_EQ(Script().Message, "Write PCIE Bus/Dev/Fun/Offset 0x00/0x1F/0x03/0x04 = 0xCAFEF00D");
  const auto& config = Config(0xFB);
  EXPECT_EQ(config[0x40], 0xAB);
  EXPECT_EQ(config[0x44], 0xEF);
  EXPECT_EQ(config[0x45], 0xBE);
  EXPECT_EQ(config[0x46], 0x00);
  EXPECT_EQ(config[0x48], 0x5A);
  EXPECT_EQ(config[0x148], 0x00);
  EXPECT_EQ(Dword(config, 0x104), 0xCAFEF00Du);
}

TEST_F(PlatformTest, FindPciDeviceAndClass) {
  EXPECT_TRUE(Run("FPCI 0xFFFF8086"));
  EXPECT_EQ(Result, 0x0000);
  EXPECT_EQ(Script().Message, "Find PCI Device: 0xFFFF8086 Index 0x0 = 0x0000");
  EXPECT_TRUE(Run("FPCI 0xFFFF8086 2"));
  EXPECT_EQ(Result, 0x00FB);
  EXPECT_TRUE(Run("Local2=FPCI(0x9D238086)"));
  EXPECT_EQ(Script().Local[2], 0x00FC);
  EXPECT_TRUE(Run("FPCI 0x12345678"));
  EXPECT_EQ(Result, 0xFFFF);
  EXPECT_EQ(Script().Message, "Find PCI Device: 0x12345678 Index 0x0 = 0xFFFF");
  EXPECT_TRUE(Run("FPCICLASS 0x0C05FF"));
  EXPECT_EQ(Result, 0x00FC);
  EXPECT_EQ(Script().Message, "Find PCI Class: 0xC05FF Index 0x0 = 0x00FC");
  EXPECT_FALSE(Run("FPCI 0xFFFF8086 256")) << "an index the search cannot count to";
  EXPECT_EQ(Script().Message, "Operand range is 0 to 0xFF!");
  // 0xFF itself is an index: searched (and not found among four functions).
  EXPECT_TRUE(Run("FPCI 0xFFFF8086 0xFF"));
  EXPECT_EQ(Result, 0xFFFF);
  EXPECT_EQ(Script().Message, "Find PCI Device: 0xFFFF8086 Index 0xFF = 0xFFFF");
  EXPECT_TRUE(Run("FPCICLASS 0x0C05FF 0xFF"));
  EXPECT_EQ(Script().Message, "Find PCI Class: 0xC05FF Index 0xFF = 0xFFFF");
  EXPECT_FALSE(Run("FPCICLASS 0x0C05FF 0x100"));
  EXPECT_EQ(Script().Message, "Operand range is 0 to 0xFF!");
}

TEST_F(PlatformTest, MemoryReadsWritesAndDumps) {
  EXPECT_TRUE(Run("R32 0xF0000"));
  EXPECT_EQ(Result, 0x72766147);  // "Gavr"
  EXPECT_EQ(Script().Message, "Read Memory Address 0xF0000 = 0x72766147");
  EXPECT_TRUE(Run("W16 0xF0010 0x12345; Local1=R16(0xF0010); R 0x100"));
  EXPECT_EQ(Script().Local[1], 0x2345);
  EXPECT_EQ(Result, 0xFF) << "unmapped memory reads all ones";

  const std::string header2 =
      "   00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\t0123456789ABCDEF";
  EXPECT_TRUE(Run("DMEM 0xF0000"));
  EXPECT_EQ(Script().Message, "Dump Memory: Address=0xF0000, Size=0x100");
  ASSERT_EQ(Script().Output.size(), 17u);
  EXPECT_EQ(Script().Output[0], header2);
  EXPECT_EQ(Script().Output[1],
            "00 47 61 76 72 65 6C 6F 20 42 49 4F 53 00 01 7F 80\tGavrelo BIOS....");
  EXPECT_EQ(Script().Output[2],
            "10 45 23 00 00 00 00 00 00 00 00 00 00 00 00 00 00\tE#..............");
  EXPECT_EQ(Script().Output[16].substr(0, 3), "F0 ");

  // A partial last row; offsets count from the start of the dump.
  EXPECT_TRUE(Run("DMEM 0xF0101 0x11"));
  ASSERT_EQ(Script().Output.size(), 3u);
  EXPECT_EQ(Script().Output[0], header2);
  EXPECT_EQ(Script().Output[1],
            "00 43 4E 31 33 36 38 24 00 00 00 00 00 00 00 00 00\tCN1368$.........");
  EXPECT_EQ(Script().Output[2], "10 00" + std::string(45, ' ') + "\t." + std::string(15, ' '));

  // Size 0 is the header line alone; a size beyond the cap is an allocation failure.
  EXPECT_TRUE(Run("DMEM 0xF0000 0"));
  EXPECT_EQ(Script().Output,
            std::vector<std::string>{
                "  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\t0123456789ABCDEF"});
  Board->Trace().Clear();
  EXPECT_TRUE(Run("DMEM 0xF0000 0x100001"));
  EXPECT_EQ(Script().Message, "Dump Memory: Address=0xF0000, Size=0x100001 - Allocate buffer error");
  EXPECT_TRUE(Script().Output.empty());
  EXPECT_TRUE(Board->Trace().OfKind(TTraceKind::MemRead).empty());

  // Memory whose read fails: the all-ones failure value, and the status line says so.
  Board->FailMemory(kRom + 0x800, 0x100);
  EXPECT_TRUE(Run("DMEM 0xF07F0 0x20"));
  EXPECT_EQ(Script().Message, "Dump Memory: Address=0xF07F0, Size=0x20 - Read memory error");
  ASSERT_EQ(Script().Output.size(), 3u);
  EXPECT_EQ(Script().Output[1], "00 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\t................");
  EXPECT_EQ(Script().Output[2], "10 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\t................");
}

TEST_F(PlatformTest, DumpFileHoldsEverythingTheRunProduced) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("script-dump-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);

  // The name does not parse as a size, so the size is 256 and the name (upper-cased
  // with the script) is still the file.
  EXPECT_TRUE(Run("cpuid 0; DMEM 0xF0000 dump.txt"));
  EXPECT_EQ(Script().Message, "Dump Memory: Address=0xF0000, Size=0x100, File=DUMP.TXT");
  std::vector<std::string> lines;
  {
    std::ifstream in(dir / "DUMP.TXT");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  EXPECT_EQ(lines.size(), 5u + 17u);
  EXPECT_EQ(lines, Script().Output);

  EXPECT_TRUE(Run("DMEM 0xF0000 0x10 no/such/dir.txt"));
  EXPECT_EQ(Script().Message,
            "Dump Memory: Address=0xF0000, Size=0x10, File=NO/SUCH/DIR.TXT - Write file error");

  // LOGFILE creates its file; closing twice reports the second time that none is set.
  EXPECT_TRUE(Run("LOGFILE"));
  EXPECT_EQ(Script().Message, "Logfile is not set.");
  EXPECT_TRUE(Run("LOGFILE run.log"));
  EXPECT_EQ(Script().Message, "Logfile = RUN.LOG");
  EXPECT_TRUE(std::filesystem::exists(dir / "RUN.LOG"));
  EXPECT_TRUE(Run("LOGFILE"));
  EXPECT_EQ(Script().Message, "Logfile is canceled.");
  EXPECT_TRUE(Run("LOGFILE"));
  EXPECT_EQ(Script().Message, "Logfile is not set.");

  // Each pass of a DMEM to a file rewrites every line the run produced so far; the lines
  // written count against the budget, so the loop stops long before its 1000 passes.
  Script().SetStatementBudget(2000);
  EXPECT_FALSE(Run("LOOP{1000 DMEM 0xF0000 0x10 loop.txt}"));
  EXPECT_EQ(Script().Message, "Statement budget exhausted!");
  std::size_t written = 0;
  {
    std::ifstream in(dir / "LOOP.TXT");
    for (std::string line; std::getline(in, line);) ++written;
  }
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, 100u);  // about 44 passes of 2 lines each, not 1000
  Script().SetStatementBudget(0);

  std::filesystem::current_path(previous);
  std::filesystem::remove_all(dir);
}

TEST_F(PlatformTest, FindMemoryByteListTextAndFallback) {
  EXPECT_TRUE(Run("FMEM 0xF0000 0x10000 1 0 \"55h 0xAA\""));
  EXPECT_EQ(Result, 0xF0200);
  EXPECT_EQ(Script().Message, "Find Memory: 0xF0000, 0x10000, 0x1, 0x0 - 0xF0200");
  ASSERT_EQ(Script().Output.size(), 17u);
  EXPECT_EQ(Script().Output[1].substr(0, 9), "00 55 AA ");

  // 55 is a decimal byte value; with /S it is the two characters "55".
  EXPECT_TRUE(Run("FMEM 0xF0000 0x10000 1 0 55"));
  EXPECT_EQ(Result, 0xF0180);
  EXPECT_TRUE(Run("FMEM 0xF0000 0x10000 1 0 55 /S"));
  EXPECT_EQ(Result, 0xF0400);

  // An item above 255 makes the list text; so does anything that is not a number.
  EXPECT_TRUE(Run("FMEM 0xF0000 0x10000 1 0 \"7 300\""));
  EXPECT_EQ(Result, 0xF0300);
  EXPECT_TRUE(Run("FMEM 0xF0000 0x10000 1 0 $CN1368$"));
  EXPECT_EQ(Result, 0xF0100);

  EXPECT_TRUE(Run("FMEM 0xF0000 0x10000 16 0 \"0x55 0xAA\""));
  EXPECT_EQ(Result, 0xF0200) << "an aligned match is found with step 16";
  EXPECT_TRUE(Run("FMEM 0xF0000 0x10000 1 1 \"0x55 0xAA\""));
  EXPECT_EQ(Result, -1);
  EXPECT_EQ(Script().Message, "Find Memory: 0xF0000, 0x10000, 0x1, 0x1 - not found");
  EXPECT_TRUE(Script().Output.empty());

  EXPECT_FALSE(Run("FMEM 0xF0000 0x100 1 0 \"\""));
  EXPECT_EQ(Script().Message, "parameter error!");
}

TEST_F(PlatformTest, ProcessorRegisters) {
  EXPECT_TRUE(Run("RDMSR 0x1B"));
  EXPECT_EQ(Script().Message,
            "Read MSR 0x1B : High 32bit(EDX) = 0x00000001, Low 32bit(EAX) = 0xFEE00900");
  EXPECT_EQ(Script().Local[0xA], static_cast<std::int32_t>(0xFEE00900));
  EXPECT_EQ(Script().Local[0xC], 0x1B);
  EXPECT_EQ(Script().Local[0xD], 1);
  EXPECT_EQ(Script().Output,
            (std::vector<std::string>{
                "63    56 55    48 47    40 39    32 31    24 23    16 15     8 7      0",
                "00000000-00000000-00000000-00000001-11111110-11100000-00001001-00000000"}));
  EXPECT_EQ(Result, 0x5A5A) << "processor commands deliver in variables only";

  EXPECT_FALSE(Run("RDMSR 0x999"));
  EXPECT_EQ(Script().Message, "Command fail!");
  EXPECT_EQ(Script().Local[0xC], 0x1B) << "a failed read leaves the variables alone";

  EXPECT_TRUE(Run("WRMSR 0x10 1 2"));
  EXPECT_EQ(Board->Msrs[0x10], 0x100000002ull);
  EXPECT_EQ(Script().Message,
            "Write MSR 0x10 : High 32bit(EDX) = 0x00000001, Low 32bit(EAX) = 0x00000002");
  EXPECT_FALSE(Run("WRMSR 0x11 0 0"));
  EXPECT_EQ(Script().Message, "Command fail!");

  EXPECT_FALSE(Run("RDCR 1")) << "there is no CR1";
  EXPECT_EQ(Script().Message, "Command fail!");
  EXPECT_TRUE(Run("RDCR 0"));
  EXPECT_EQ(Script().Message, "Read CR0 : High 32bit = 0x00000000, Low 32bit = 0x80050033");
  EXPECT_EQ(Script().Local[0xA], static_cast<std::int32_t>(0x80050033));
  EXPECT_EQ(Script().Wide, 0x80050033u);
  EXPECT_TRUE(Run("WRCR 4 0 0x3606E8"));
  EXPECT_EQ(Board->ControlRegisters[4], 0x3606E8u);
  EXPECT_EQ(Script().Message, "Write CR4 : High 32bit = 0x00000000, Low 32bit = 0x003606E8");

  EXPECT_TRUE(Run("RDPMC 0"));
  EXPECT_EQ(Script().Message, "Read PMC 0 : High 32bit = 0x00000012, Low 32bit = 0x3456789A");
  EXPECT_EQ(Script().Local[0xB], 0x12);

  EXPECT_TRUE(Run("RDTSC"));
  EXPECT_EQ(Script().Message, "Read TSC = 0x1122334455667788");
  EXPECT_EQ(Script().Local[0xA], 0x55667788);
  EXPECT_EQ(Script().Local[0xB], 0x11223344);
  EXPECT_EQ(Result, 0x5A5A);

  // CPUID with ECX = 0 whatever an earlier command left there; the vendor string lies in
  // LocalB, LocalD, LocalC.
  Board->Trace().Clear();
  EXPECT_TRUE(Run("RDMSR 0x1B; CPUID 0"));
  char vendor[13] = {};
  std::memcpy(vendor, &Script().Local[0xB], 4);
  std::memcpy(vendor + 4, &Script().Local[0xD], 4);
  std::memcpy(vendor + 8, &Script().Local[0xC], 4);
  EXPECT_STREQ(vendor, "GenuineIntel");
  EXPECT_EQ(Script().Message, "CPUID 0x0");
  ASSERT_EQ(Script().Output.size(), 2u + 5u);
  EXPECT_EQ(Script().Output[2], "                 31    24 23    16 15     8 7      0");
  EXPECT_EQ(Script().Output[3], "EAX = 0x00000016 00000000-00000000-00000000-00010110");
  EXPECT_EQ(Script().Output[4], "EBX = 0x756E6547 01110101-01101110-01100101-01000111");
  const auto cpuid = Board->Trace().OfKind(TTraceKind::Cpuid);
  ASSERT_EQ(cpuid.size(), 1u);
  EXPECT_EQ(cpuid[0].Register, 0) << "ECX input";

  EXPECT_TRUE(Run("RWEXIT"));
  EXPECT_EQ(Script().Message, "CPUID 0x0") << "RWEXIT changes nothing";
}

TEST_F(PlatformTest, SwitchingOnASingleProcessor) {
  EXPECT_FALSE(Run("CPU 1"));
  EXPECT_EQ(Script().Message, "Error: single CPU system!");
}

TEST_F(PlatformTest, SwitchingProcessors) {
  Board->Processors = 4;
  EXPECT_TRUE(Run("CPU 3"));
  EXPECT_EQ(Script().Message, "Current CPU = CPU3");
  EXPECT_EQ(Board->AffinityMask, 4u);
  for (const char* text : {"CPU 0", "CPU 5"}) {
    EXPECT_FALSE(Run(text)) << text;
    EXPECT_EQ(Script().Message, "Error to switch CPU!") << text;
  }
  EXPECT_EQ(Board->AffinityMask, 4u);

  TReadWrite::Instance().RemoteMode = 1;
  EXPECT_FALSE(Run("CPU 2"));
  EXPECT_EQ(Script().Message, "Not support in remote access mode!");
}

}  // namespace
