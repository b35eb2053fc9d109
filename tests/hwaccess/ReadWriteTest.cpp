// The access service on the virtual board, through the singletons as the tool uses them.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "hwaccess/DriverProtocol.h"
#include "hwaccess/ReadWrite.h"
#include "sim/RegisterPorts.h"
#include "sim/VirtualBoard.h"

using nlohmann::json;

namespace {

class ReadWriteTest : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }

  // Installs the board and creates the service on it; the trace starts empty.
  TReadWrite& Service(const char* board) {
    m_Board = &TVirtualBoard::Install(TVirtualBoard::FromJson(json::parse(board)));
    TReadWrite& rw = TReadWrite::Instance();
    m_Board->Trace().Clear();
    return rw;
  }
  TAccessTrace& Trace() { return m_Board->Trace(); }

  TVirtualBoard* m_Board = nullptr;
};

constexpr const char* kSioBoard = R"({
  "ports": [{"type": "index_data", "name": "ite", "index": "0x2E", "data": "0x2F",
             "registers": {"0x20": "0x87", "0x21": "0x12", "0x22": "0x34", "0x23": "0x56",
                           "0xFF": "0xAB", "0x00": "0xCD"}}]})";

}  // namespace

TEST_F(ReadWriteTest, IndexDataPairsReadHighIndexFirstAndWrap) {
  TReadWrite& rw = Service(kSioBoard);
  EXPECT_EQ(rw.ReadIndexWord(0x2E, 0x2F, 0x20), 0x1287);
  EXPECT_EQ(Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0x2E, 0x21), TPortCycle::In(0x2F, 0x12),
                                     TPortCycle::Out(0x2E, 0x20), TPortCycle::In(0x2F, 0x87)}));
  Trace().Clear();
  EXPECT_EQ(rw.ReadIndexDword(0x2E, 0x2F, 0x20), 0x56341287u);
  EXPECT_EQ(Trace().PortCycles().front(), TPortCycle::Out(0x2E, 0x23));
  EXPECT_EQ(rw.ReadIndexWord(0x2E, 0x2F, 0xFF), 0xCDAB);  // index 0xFF + 1 is 0x00
  Trace().Clear();
  EXPECT_TRUE(rw.WriteIndexWord(0x2E, 0x2F, 0xBEEF, 0x30));
  EXPECT_EQ(Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0x2E, 0x30), TPortCycle::Out(0x2F, 0xEF),
                                     TPortCycle::Out(0x2E, 0x31), TPortCycle::Out(0x2F, 0xBE)}));
  Trace().Clear();
  EXPECT_TRUE(rw.WriteIndexByte(0x2E, 0x2F, 0x5A, 0x07));
  EXPECT_EQ(rw.ReadIndexByte(0x2E, 0x2F, 0x07), 0x5A);
  // Nothing but the four cycles: no PCI, memory or other port touched.
  EXPECT_EQ(Trace().Events().size(), 4u);
}

TEST_F(ReadWriteTest, PortWidthsAndFailureValues) {
  TReadWrite& rw = Service(R"({"ports": [{"first": "0x80", "values": "01 02 03 04"}],
                               "faults": {"ports": ["0x84"]}})");
  EXPECT_EQ(rw.ReadIoDword(0x80), 0x04030201u);
  EXPECT_EQ(rw.ReadIoWord(0x82), 0x0403);
  EXPECT_EQ(rw.ReadIoByte(0x84), 0xFF);  // the cycle fails: all ones
  EXPECT_EQ(rw.ReadIoDword(0x84), 0xFFFFFFFFu);
  EXPECT_TRUE(rw.WriteIoByte(0x84, 1));  // writes report true whatever happened
  EXPECT_TRUE(rw.WriteIoDword(0x80, 0xA0B0C0D0));
  EXPECT_EQ(rw.ReadIoByte(0x83), 0xA0);
}

TEST_F(ReadWriteTest, WithoutDriverEveryRequestFails) {
  // An OS the probe cannot classify: no driver is loaded, and nothing is shown.
  TReadWrite& rw = Service(R"({"ports": [{"first": "0x80", "values": "01"}],
                               "memory": [{"base": 0, "size": 4096}],
                               "cpu": {"count": 2, "msr": {"0x10": 5}, "cr": {"0": 1}, "pmc": {"0": 1}},
                               "os": {"platform": 2, "major": 4, "minor": 0}})");
  EXPECT_EQ(rw.OsFlags(), 0u);
  EXPECT_EQ(rw.ReadIoByte(0x80), 0xFF);
  EXPECT_EQ(rw.ReadIoWord(0x80), 0xFFFF);
  EXPECT_EQ(rw.ReadPciDword(0, 0, 0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(rw.ReadMemDword(0), 0xFFFFFFFFu);
  EXPECT_EQ(rw.ReadCr(0), ~0ull);
  EXPECT_EQ(rw.ReadTsc(), 0u);
  EXPECT_EQ(rw.ReadPmc(0), 0u);
  EXPECT_TRUE(rw.WriteIoByte(0x80, 1));
  EXPECT_TRUE(rw.WritePciByte(0, 0, 0, 0x40, 1));
  EXPECT_FALSE(rw.WriteMemByte(0, 1));
  std::uint8_t block[16];
  EXPECT_FALSE(rw.ReadMemBlock(block, 16, 0));
  MsrRequest msr{0, 0, 0x10, 0};
  EXPECT_FALSE(rw.ReadMsr(msr));
  EXPECT_FALSE(rw.WriteMsr(msr));
  EXPECT_FALSE(rw.WriteCr(0, 1));
  EXPECT_TRUE(Trace().Events().empty());
}

TEST_F(ReadWriteTest, PcieWindowArithmeticAndFallbacks) {
  TReadWrite& rw = Service(R"({
    "pci": {"ecam": {"base": "0xE0000000", "buses": 2},
            "functions": [{"bdf": "01:02.3", "vendor_id": "0x10EC", "device_id": "0x8168", "size": 4096,
                           "dwords": {"0x40": "0x11223344", "0x100": "0xAABBCCDD"}}]}})");
  const std::uint16_t bdf = 1 << 8 | 2 << 3 | 3;
  // PcieBase unknown: below 0x100 the legacy mechanism, above it all ones / refused.
  EXPECT_EQ(rw.ReadPcieDword(bdf, 0x40), 0x11223344u);
  EXPECT_EQ(Trace().OfKind(TTraceKind::MemRead).size(), 0u);
  EXPECT_EQ(rw.ReadPcieWord(bdf, 0x102), 0xFFFF);
  Trace().Clear();
  EXPECT_FALSE(rw.WritePcieByte(bdf, 0x100, 0x55));
  EXPECT_TRUE(Trace().Events().empty());

  rw.PcieBase = 0xE0000000;
  EXPECT_EQ(rw.ReadPcieWord(bdf, 0x102), 0xAABB);
  EXPECT_EQ(rw.ReadPcieWord(bdf, 0x100), 0xCCDD);
  EXPECT_EQ(rw.ReadPcieByte(bdf, 0x101), 0xCC);
  const auto reads = Trace().OfKind(TTraceKind::MemRead);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[0].Address, 0xE0000000u + 0x100000 + 2 * 0x8000 + 3 * 0x1000 + 0x100);
  EXPECT_EQ(reads[0].Width, 4u);

  // A byte at 0x40 still goes through the legacy mechanism.
  Trace().Clear();
  EXPECT_TRUE(rw.WritePcieByte(bdf, 0x40, 0x99));
  EXPECT_TRUE(Trace().OfKind(TTraceKind::MemWrite).empty());
  EXPECT_EQ(Trace().PortCycles().front(), TPortCycle::Out(0xCF8, 0x80011340, 4));
  // Above 0xFF a byte or word is merged into the window dword.
  EXPECT_TRUE(rw.WritePcieByte(bdf, 0x102, 0x5A));
  EXPECT_TRUE(rw.WritePcieWord(bdf, 0x100, 0x1234));
  EXPECT_EQ(m_Board->PciFunction(bdf)->Read(0x100, 4), 0xAA5A1234u);
  EXPECT_EQ(m_Board->PciFunction(bdf)->Read(0x40, 4), 0x11223399u);

  // A merge whose read fails writes nothing.
  m_Board->FailPciFunction(bdf);
  Trace().Clear();
  EXPECT_FALSE(rw.WritePcieByte(bdf, 0x104, 1));
  EXPECT_TRUE(Trace().OfKind(TTraceKind::MemWrite).empty());
}

TEST_F(ReadWriteTest, SearchMemFindsMatchesAcrossChunksWithStepsAndSkips) {
  TReadWrite& rw = Service(R"({"memory": [{"base": "0xE0000", "size": "0x20000"}]})");
  const char pattern[] = "$CN1368$";
  // One match straddling the 4096-byte chunk boundary, one 16-byte aligned, one at the end.
  m_Board->PokeMemory(0xE0000 + 4096 - 3, pattern, 8);
  m_Board->PokeMemory(0xE5010, pattern, 8);
  m_Board->PokeMemory(0xFFFF7, pattern, 8);
  EXPECT_EQ(rw.SearchMem(0xE0000, 0x1FFFF, 1, pattern, 8, 0), 0xE0FFDu);
  EXPECT_EQ(rw.SearchMem(0xE0000, 0x1FFFF, 1, pattern, 8, 1), 0xE5010u);
  EXPECT_EQ(rw.SearchMem(0xE0000, 0x1FFFF, 0, pattern, 8, 2), 0xFFFF7u);  // step 0 counts as 1
  EXPECT_EQ(rw.SearchMem(0xE0000, 0x1FFFE, 1, pattern, 8, 2), 0xFFFFFFFFu);  // ends one short
  // Step 16 tests only aligned positions.
  EXPECT_EQ(rw.SearchMem(0xE0000, 0x20000, 16, pattern, 8, 0), 0xE5010u);
  // One request per chunk of at most 4096 bytes, every one inside the range.
  Trace().Clear();
  EXPECT_EQ(rw.SearchMem(0xE0000, 0x20000, 16, "nothing!", 8, 0), 0xFFFFFFFFu);
  const auto reads = Trace().OfKind(TTraceKind::MemRead);
  EXPECT_EQ(reads.size(), 32u);
  for (const auto& r : reads) EXPECT_LE(r.Address + r.Length, 0x100000u);
  // A step past the end stops instead of wrapping, and degenerate patterns find nothing.
  Trace().Clear();
  EXPECT_EQ(rw.SearchMem(0xE5000, 20, 16, "none", 4, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Trace().OfKind(TTraceKind::MemRead).size(), 1u);
  EXPECT_EQ(rw.SearchMem(0xE5010, 20, 0xFFFFFFFF, pattern, 8, 0), 0xE5010u);
  EXPECT_EQ(rw.SearchMem(0xE0000, 0x100, 1, pattern, 0, 0), 0xFFFFFFFFu);
}

TEST_F(ReadWriteTest, SearchMemNeverComparesAChunkWhoseReadFailed) {
  TReadWrite& rw = Service(R"({"memory": [{"base": "0xE0000", "size": "0x3000"}],
                               "faults": {"memory": [{"base": "0xE1000", "size": 1}]}})");
  const char pattern[] = "_SM_";
  m_Board->PokeMemory(0xE0100, pattern, 4);
  // The failed second chunk would still hold the first chunk's bytes; a later real match
  // must be the answer, not a phantom at 0xE1100.
  m_Board->PokeMemory(0xE2200, pattern, 4);
  EXPECT_EQ(rw.SearchMem(0xE0000, 0x3000, 1, pattern, 4, 1), 0xE2200u);
  EXPECT_EQ(rw.SearchMem(0xE1000, 0x2000, 1, pattern, 4, 0), 0xE2200u);
}

TEST_F(ReadWriteTest, MemoryUnitsAndFailures) {
  TReadWrite& rw = Service(R"({"memory": [{"base": "0x1000", "bytes": "11 22 33 44 55 66 77 88"}]})");
  EXPECT_EQ(rw.ReadMemByte(0x1001), 0x22);
  EXPECT_EQ(rw.ReadMemWord(0x1002), 0x4433);
  EXPECT_EQ(rw.ReadMemDword(0x1004), 0x88776655u);
  EXPECT_EQ(rw.ReadMemDword(0x1006), 0xFFFFFFFFu);  // runs past the region
  EXPECT_TRUE(rw.WriteMemWord(0x1000, 0xBEEF));
  EXPECT_FALSE(rw.WriteMemDword(0x2000, 1));
  const auto events = Trace().Events();
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].Width, 1u);
  EXPECT_EQ(events[1].Width, 2u);
  EXPECT_EQ(events[2].Width, 4u);
  EXPECT_EQ(events[4].Kind, TTraceKind::MemWrite);
  EXPECT_EQ(events[4].Value, 0xBEEFu);
}

TEST_F(ReadWriteTest, SwitchCpuPinsOnlyExistingProcessors) {
  TReadWrite& rw = Service(R"({"cpu": {"count": 4}})");
  EXPECT_TRUE(rw.SwitchCpu(2));
  EXPECT_EQ(m_Board->AffinityMask, 2u);
  EXPECT_TRUE(rw.SwitchCpu(4));
  EXPECT_EQ(m_Board->AffinityMask, 8u);
  Trace().Clear();
  EXPECT_FALSE(rw.SwitchCpu(0));
  EXPECT_FALSE(rw.SwitchCpu(5));
  EXPECT_FALSE(rw.SwitchCpu(65));
  EXPECT_TRUE(Trace().OfKind(TTraceKind::Affinity).empty());
  EXPECT_EQ(m_Board->AffinityMask, 8u);

  gavrelo::ResetProcessStateForTests();
  TReadWrite& single = Service(R"({"cpu": {"count": 1}})");
  EXPECT_FALSE(single.SwitchCpu(2));
  EXPECT_FALSE(single.SwitchCpu(1));
  EXPECT_TRUE(Trace().OfKind(TTraceKind::Affinity).empty());
}

TEST_F(ReadWriteTest, ProcessorRegistersGoThroughTheBackEnd) {
  TReadWrite& rw = Service(R"({"cpu": {"msr": {"0x1A0": "0x850089"}, "cr": {"3": "0x1000"},
                                       "tsc": 42, "pmc": {"1": 7},
                                       "cpuid": [{"leaf": 1, "eax": "0x906EA", "edx": "0xBFEBFBFF"}]}})");
  MsrRequest msr{0, 0, 0x1A0, 0};
  ASSERT_TRUE(rw.ReadMsr(msr));
  EXPECT_EQ(msr.Low, 0x850089u);
  msr.Low = 1;
  ASSERT_TRUE(rw.WriteMsr(msr));
  EXPECT_EQ(m_Board->Msrs[0x1A0], 1u);
  EXPECT_EQ(rw.ReadCr(3), 0x1000u);
  EXPECT_EQ(rw.ReadCr(5), ~0ull);
  EXPECT_FALSE(rw.WriteCr(2, 0));
  EXPECT_EQ(rw.ReadTsc(), 42u);
  EXPECT_EQ(rw.ReadPmc(1), 7u);
  EXPECT_EQ(rw.ReadPmc(3), 0u);
  TCpuidRegisters regs{1, 0, 0, 0};
  EXPECT_TRUE(rw.Cpuid(regs));
  EXPECT_EQ(regs.Eax, 0x906EAu);
  EXPECT_EQ(regs.Edx, 0xBFEBFBFFu);
}

TEST_F(ReadWriteTest, Windows9xPathsAccessPortsDirectlyAndWalkMemoryByPages) {
  TReadWrite& rw = Service(R"({
    "ports": [{"first": "0x80", "values": "5A"}],
    "pci": {"functions": [{"bdf": "00:1f.0", "vendor_id": "0x8086", "device_id": "0x2918"}]},
    "memory": [{"base": "0xF0000", "size": "0x1000"}],
    "os": {"platform": 1, "major": 4, "minor": 10, "architecture": 0},
    "faults": {"requests": ["0x222810", "0x222840"]}})");
  ASSERT_EQ(rw.OsFlags(), 0x10u);
  // The driver would fail these requests; the 9x paths never send them.
  EXPECT_EQ(rw.ReadIoByte(0x80), 0x5A);
  EXPECT_EQ(rw.ReadPciDword(0, 0x1F, 0, 0), 0x29188086u);
  EXPECT_EQ(Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::In(0x80, 0x5A), TPortCycle::Out(0xCF8, 0x8000F800, 4),
                                     TPortCycle::In(0xCFC, 0x29188086, 4)}));

  // 600 bytes from 0xF0080: pages 0xF0000 (from offset 0x80), 0xF0100 and 0xF0200.
  std::vector<std::uint8_t> image(0x1000);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
  m_Board->PokeMemory(0xF0000, image.data(), 0x1000);
  Trace().Clear();
  std::vector<std::uint8_t> out(600);
  ASSERT_TRUE(rw.ReadMemUnits(out.data(), 600, 0, 0xF0080));
  EXPECT_EQ(0, std::memcmp(out.data(), image.data() + 0x80, 600));
  EXPECT_EQ(Trace().OfKind(TTraceKind::MemRead).size(), 3u);  // one page mapping each

  std::uint32_t value = 0x01020304;
  ASSERT_TRUE(rw.WriteMemUnits(&value, 4, 2, 0xF0FFC));
  EXPECT_EQ(rw.ReadMemDword(0xF0FFC), 0x01020304u);
  // The next page is not there: the walk stops, keeping what it already copied.
  std::vector<std::uint8_t> partial(0x200, 0);
  EXPECT_FALSE(rw.ReadMemBlock(partial.data(), 0x200, 0xF0F00));
  EXPECT_EQ(partial[0], image[0xF00]);
  EXPECT_EQ(partial[0xFB], image[0xFFB]);
  EXPECT_EQ(partial[0x100], 0);
}

TEST_F(ReadWriteTest, FindPciOnTheQ35Image) {
  const std::filesystem::path image =
      std::filesystem::path(GAVRELO_FIRMWARE_DIR) / "qemu-q35" / "ecam-bus0.bin";
  if (!std::filesystem::exists(image)) GTEST_SKIP() << "firmware images absent: " << image;
  const std::string board = R"({"pci": {"ecam": {"base": "0xB0000000"},
                                        "buses": [{"bus": 0, "file": ")" + image.generic_string() + R"("}]}})";
  m_Board = &TVirtualBoard::Install(TVirtualBoard::FromJson(json::parse(board)));
  TReadWrite& rw = TReadWrite::Instance();
  // Intel functions: 00:00.0, 00:02.0, 00:1f.0, 00:1f.2, 00:1f.3 (00:01.0 is 1234:1111).
  EXPECT_EQ(rw.FindPciDevice(0xFFFF8086, 0), 0x0000);
  EXPECT_EQ(rw.FindPciDevice(0xFFFF8086, 1), 0x0010);
  EXPECT_EQ(rw.FindPciDevice(0xFFFF8086, 2), 0x00F8);
  EXPECT_EQ(rw.FindPciDevice(0xFFFF8086, 4), 0x00FB);
  EXPECT_EQ(rw.FindPciDevice(0xFFFF8086, 5), 0xFFFF);
  EXPECT_EQ(rw.FindPciDevice(0x29308086, 0), 0x00FB);
  EXPECT_EQ(rw.FindPciDevice(0x2930FFFF, 0), 0x00FB);  // any vendor
  EXPECT_EQ(rw.FindPciDevice(0x11111234, 0), 0x0008);
  EXPECT_EQ(rw.FindPciDevice(0x29308087, 0), 0xFFFF);
  EXPECT_EQ(rw.FindPciClass(0x0C0500, 0), 0x00FB);
  EXPECT_EQ(rw.FindPciClass(0x0C05FF, 0), 0x00FB);
  EXPECT_EQ(rw.FindPciClass(0x0CFFFF, 0), 0x00FB);
  EXPECT_EQ(rw.FindPciClass(0xFF0500, 0), 0x00FB);
  EXPECT_EQ(rw.FindPciClass(0x06FFFF, 0), 0x0000);  // host bridge 060000
  EXPECT_EQ(rw.FindPciClass(0x06FFFF, 1), 0x00F8);  // ISA bridge 060100
  EXPECT_EQ(rw.FindPciClass(0x06FF00, 1), 0x00F8);  // 0xFF in the subclass only
  EXPECT_EQ(rw.FindPciClass(0x06FF01, 0), 0xFFFF);  // ...while the interface must still match
  EXPECT_EQ(rw.FindPciClass(0x01FF01, 0), 0x00FA);  // SATA AHCI 010601
  // All three bytes wild is no wildcard at all, not even for the empty functions of 00:1f.
  EXPECT_EQ(rw.FindPciClass(0xFFFFFF, 0), 0xFFFF);
}

namespace {

// The memory requests of a trace in order, as (kind, address, width, length, value).
struct TMemoryRequest {
  TTraceKind Kind;
  std::uint64_t Address;
  unsigned Width;
  std::uint32_t Length;
  std::uint64_t Value;
  friend bool operator==(const TMemoryRequest&, const TMemoryRequest&) = default;
};

std::vector<TMemoryRequest> MemoryRequests(const TAccessTrace& trace) {
  std::vector<TMemoryRequest> requests;
  for (const auto& e : trace.Events()) {
    if (e.Kind == TTraceKind::MemRead || e.Kind == TTraceKind::MemWrite) {
      requests.push_back({e.Kind, e.Address, e.Width, e.Length, e.Value});
    }
  }
  return requests;
}

// The configuration reads of a trace that reach one device, as (function, register, width).
std::vector<std::tuple<unsigned, unsigned, unsigned>> ConfigReadsOf(const TAccessTrace& trace,
                                                                    unsigned bus, unsigned device) {
  std::vector<std::tuple<unsigned, unsigned, unsigned>> reads;
  for (const auto& e : trace.OfKind(TTraceKind::PciRead)) {
    if (e.Address >> 8 == bus && (e.Address >> 3 & 0x1F) == device) {
      reads.emplace_back(static_cast<unsigned>(e.Address & 7), e.Register, e.Width);
    }
  }
  return reads;
}

}  // namespace

TEST_F(ReadWriteTest, IndexDataPairsExactCyclesOfEveryWidth) {
  TReadWrite& rw = Service(kSioBoard);
  EXPECT_EQ(rw.ReadIndexDword(0x2E, 0x2F, 0x20), 0x56341287u);
  EXPECT_EQ(Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0x2E, 0x23), TPortCycle::In(0x2F, 0x56),
                                     TPortCycle::Out(0x2E, 0x22), TPortCycle::In(0x2F, 0x34),
                                     TPortCycle::Out(0x2E, 0x21), TPortCycle::In(0x2F, 0x12),
                                     TPortCycle::Out(0x2E, 0x20), TPortCycle::In(0x2F, 0x87)}));
  Trace().Clear();
  EXPECT_TRUE(rw.WriteIndexByte(0x2E, 0x2F, 0x5A, 0x07));
  EXPECT_EQ(rw.ReadIndexByte(0x2E, 0x2F, 0x07), 0x5A);
  EXPECT_EQ(Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0x2E, 0x07), TPortCycle::Out(0x2F, 0x5A),
                                     TPortCycle::Out(0x2E, 0x07), TPortCycle::In(0x2F, 0x5A)}));
  // A word written at 0xFF carries its high byte to index 0x00.
  Trace().Clear();
  EXPECT_TRUE(rw.WriteIndexWord(0x2E, 0x2F, 0x1234, 0xFF));
  EXPECT_EQ(Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0x2E, 0xFF), TPortCycle::Out(0x2F, 0x34),
                                     TPortCycle::Out(0x2E, 0x00), TPortCycle::Out(0x2F, 0x12)}));
  EXPECT_EQ(rw.ReadIndexWord(0x2E, 0x2F, 0xFF), 0x1234);
}

// Which lane of the window dword each width uses, and which requests reach memory: reads
// are one dword read, byte and word writes a dword read then a dword write, dword writes a
// single dword write; all at the dword-aligned address.
TEST_F(ReadWriteTest, PcieWindowLanesAndRequestsOfEveryWidth) {
  // The last function of the last device on bus 3: every field of the address at its top.
  TReadWrite& rw = Service(R"({"pci": {
      "ecam": {"base": "0xF0000000", "buses": 4},
      "functions": [{"bdf": "03:1f.7", "vendor_id": "0x8086", "device_id": "0x15B8",
                     "size": 4096, "dwords": {"0x40": "0x11223344", "0x100": "0xAABBCCDD"}}]}})");
  const std::uint16_t bdf = 3 << 8 | 31 << 3 | 7;
  const std::uint64_t window = 0xF0000000u + 3 * 0x100000 + 31 * 0x8000 + 7 * 0x1000;
  rw.PcieBase = 0xF0000000;

  EXPECT_EQ(rw.ReadPcieByte(bdf, 0x100), 0xDD);
  EXPECT_EQ(rw.ReadPcieByte(bdf, 0x103), 0xAA);
  EXPECT_EQ(rw.ReadPcieWord(bdf, 0x101), 0xAABB);  // any offset but 0 reads the high half
  EXPECT_EQ(rw.ReadPcieWord(bdf, 0x103), 0xAABB);
  EXPECT_EQ(rw.ReadPcieDword(bdf, 0x102), 0xAABBCCDDu);  // the aligned dword, whole
  EXPECT_EQ(rw.ReadPcieByte(bdf, 0x41), 0x33);  // with the window known, reads below 0x100 use it
  const TMemoryRequest dwordRead{TTraceKind::MemRead, window + 0x100, 4, 4, 0xAABBCCDD};
  EXPECT_EQ(MemoryRequests(Trace()),
            (std::vector<TMemoryRequest>{dwordRead, dwordRead, dwordRead, dwordRead, dwordRead,
                                         {TTraceKind::MemRead, window + 0x40, 4, 4, 0x11223344}}));
  EXPECT_TRUE(Trace().PortCycles().empty());

  Trace().Clear();
  EXPECT_TRUE(rw.WritePcieWord(bdf, 0x103, 0x1234));  // the high half
  EXPECT_TRUE(rw.WritePcieByte(bdf, 0x101, 0x77));
  EXPECT_TRUE(rw.WritePcieDword(bdf, 0x106, 0x01020304));  // no read first
  EXPECT_EQ(MemoryRequests(Trace()),
            (std::vector<TMemoryRequest>{
                {TTraceKind::MemRead, window + 0x100, 4, 4, 0xAABBCCDD},
                {TTraceKind::MemWrite, window + 0x100, 4, 4, 0x1234CCDD},
                {TTraceKind::MemRead, window + 0x100, 4, 4, 0x1234CCDD},
                {TTraceKind::MemWrite, window + 0x100, 4, 4, 0x123477DD},
                {TTraceKind::MemWrite, window + 0x104, 4, 4, 0x01020304}}));
  EXPECT_EQ(m_Board->PciFunction(bdf)->Read(0x100, 4), 0x123477DDu);
  EXPECT_EQ(m_Board->PciFunction(bdf)->Read(0x104, 4), 0x01020304u);

  // Writes below 0x100 always take the legacy mechanism, in their own width.
  Trace().Clear();
  EXPECT_TRUE(rw.WritePcieDword(bdf, 0x40, 0xCAFEF00D));
  EXPECT_TRUE(rw.WritePcieWord(bdf, 0x42, 0xBEEF));
  EXPECT_TRUE(MemoryRequests(Trace()).empty());
  EXPECT_EQ(Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0xCF8, 0x8003FF40, 4),
                                     TPortCycle::Out(0xCFC, 0xCAFEF00D, 4),
                                     TPortCycle::Out(0xCF8, 0x8003FF40, 4),
                                     TPortCycle::Out(0xCFE, 0xBEEF, 2)}));
  EXPECT_EQ(m_Board->PciFunction(bdf)->Read(0x40, 4), 0xBEEFF00Du);

  // Window unknown: reads below 0x100 in their own width through the legacy mechanism,
  // above it all ones of the width; writes above it are refused without any cycle.
  rw.PcieBase = 0xFFFFFFFF;
  Trace().Clear();
  EXPECT_EQ(rw.ReadPcieWord(bdf, 0x42), 0xBEEF);
  EXPECT_EQ(Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0xCF8, 0x8003FF40, 4),
                                     TPortCycle::In(0xCFE, 0xBEEF, 2)}));
  Trace().Clear();
  EXPECT_EQ(rw.ReadPcieByte(bdf, 0x100), 0xFF);
  EXPECT_EQ(rw.ReadPcieDword(bdf, 0x100), 0xFFFFFFFFu);
  EXPECT_FALSE(rw.WritePcieWord(bdf, 0x100, 1));
  EXPECT_FALSE(rw.WritePcieDword(bdf, 0x100, 1));
  EXPECT_TRUE(Trace().Events().empty());
}

// The enumeration walk: function 0 of every device, its header type only when it is
// present, functions 1..7 only behind a multi-function header, and the class code only
// when a class is searched. Device 5 has no function 0 and device 7 is single-function, so
// neither 00:05.1 nor 00:07.4 is ever seen; a zero id at function 0 is no device.
TEST_F(ReadWriteTest, PciEnumerationWalksFunctionsInOrderAndStopsAtTheMatch) {
  TReadWrite& rw = Service(R"({"pci": {"functions": [
    {"bdf": "00:00.0", "vendor_id": "0x8086", "device_id": "0x29C0", "class": "0x060000"},
    {"bdf": "00:03.0", "vendor_id": "0x8086", "device_id": "0x10D3", "class": "0x020000",
     "header_type": "0x80"},
    {"bdf": "00:03.2", "vendor_id": "0x8086", "device_id": "0x2934", "class": "0x0C0300"},
    {"bdf": "00:05.1", "vendor_id": "0x1B36", "device_id": "0x0001", "class": "0x0C0300"},
    {"bdf": "00:07.0", "vendor_id": "0x1B36", "device_id": "0x0002", "class": "0x078000"},
    {"bdf": "00:07.4", "vendor_id": "0x1B36", "device_id": "0x0003", "class": "0x0C0300"},
    {"bdf": "00:09.0", "vendor_id": "0", "device_id": "0", "class": "0x0C0300",
     "header_type": "0x80"},
    {"bdf": "00:09.1", "vendor_id": "0x1B36", "device_id": "0x0004", "class": "0x0C0300"},
    {"bdf": "02:1f.0", "vendor_id": "0x1AF4", "device_id": "0x1041", "class": "0x020000"}]}})");
  using TRead = std::tuple<unsigned, unsigned, unsigned>;

  EXPECT_EQ(rw.PciFunctions(),
            (std::vector<std::uint16_t>{0x0000, 0x0018, 0x001A, 0x0038, 0x02F8}));
  EXPECT_EQ(ConfigReadsOf(Trace(), 0, 3),
            (std::vector<TRead>{{0, 0x00, 4}, {0, 0x0E, 1}, {1, 0x00, 4}, {2, 0x00, 4},
                                {3, 0x00, 4}, {4, 0x00, 4}, {5, 0x00, 4}, {6, 0x00, 4},
                                {7, 0x00, 4}}));
  EXPECT_EQ(ConfigReadsOf(Trace(), 0, 5), (std::vector<TRead>{{0, 0x00, 4}}));
  EXPECT_EQ(ConfigReadsOf(Trace(), 0, 7), (std::vector<TRead>{{0, 0x00, 4}, {0, 0x0E, 1}}));
  EXPECT_EQ(ConfigReadsOf(Trace(), 0, 9), (std::vector<TRead>{{0, 0x00, 4}}));
  // Every function 0 once, a header type for each of the four present devices, and
  // functions 1..7 of the one multi-function device.
  EXPECT_EQ(Trace().OfKind(TTraceKind::PciRead).size(), 256u * 32 + 4 + 7);

  // A class search reads the class dword of each present function it passes, and the walk
  // ends at the match.
  Trace().Clear();
  EXPECT_EQ(rw.FindPciClass(0x0C0300, 0), 0x001A);
  EXPECT_EQ(ConfigReadsOf(Trace(), 0, 3),
            (std::vector<TRead>{{0, 0x00, 4}, {0, 0x0E, 1}, {0, 0x08, 4}, {1, 0x00, 4},
                                {2, 0x00, 4}, {2, 0x08, 4}}));
  EXPECT_TRUE(ConfigReadsOf(Trace(), 0, 4).empty());
  Trace().Clear();
  EXPECT_EQ(rw.FindPciClass(0x0C0300, 1), 0xFFFF);
  EXPECT_EQ(ConfigReadsOf(Trace(), 0, 7),
            (std::vector<TRead>{{0, 0x00, 4}, {0, 0x0E, 1}, {0, 0x08, 4}}));

  // A device search compares the id dword it already read and never reads a class.
  Trace().Clear();
  EXPECT_EQ(rw.FindPciDevice(0xFFFF8086, 2), 0x001A);
  EXPECT_EQ(ConfigReadsOf(Trace(), 0, 3),
            (std::vector<TRead>{{0, 0x00, 4}, {0, 0x0E, 1}, {1, 0x00, 4}, {2, 0x00, 4}}));
  EXPECT_EQ(rw.FindPciDevice(0x10411AF4, 0), 0x02F8);
  EXPECT_EQ(rw.FindPciDevice(0x00031B36, 0), 0xFFFF);
  for (const auto& e : Trace().OfKind(TTraceKind::PciRead)) EXPECT_NE(e.Register, 0x08);
}
