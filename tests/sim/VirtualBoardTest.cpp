// The virtual board as a machine back end: routing, PCI through both mechanisms, memory
// regions and devices, faults, the board-file loader and the trace.

#include <gtest/gtest.h>

#include <cstring>

#include <fstream>
#include <map>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/BoardJson.h"
#include "sim/BoardSections.h"
#include "sim/RegisterPorts.h"
#include "sim/VirtualBoard.h"
#include "tests/support/TempDir.h"

using nlohmann::json;

namespace {

std::unique_ptr<TVirtualBoard> Board(const char* text, const std::filesystem::path& dir = {}) {
  return TVirtualBoard::FromJson(json::parse(text), dir);
}

std::string LoadError(const char* text) {
  try {
    Board(text);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(loaded)";
}

// Records every access it sees, answering with the offset.
class TRecordingRegisters : public TMemoryDevice {
 public:
  std::uint32_t Read(std::uint64_t offset, unsigned width) override {
    Accesses.push_back({offset, width});
    return static_cast<std::uint32_t>(offset) * 0x01010101u;
  }
  void Write(std::uint64_t offset, unsigned width, std::uint32_t) override {
    Accesses.push_back({offset, width});
  }
  std::string Name() const override { return "recorder"; }
  std::vector<std::pair<std::uint64_t, unsigned>> Accesses;
};

}  // namespace

TEST(VirtualBoard, PortDevicesFromTheBoardFileAndUnclaimedPorts) {
  auto board = Board(R"({
    "ports": [
      {"type": "registers", "name": "post", "first": "0x80", "values": "11 22"},
      {"type": "index_data", "index": "0x70", "data": "0x71", "registers": {"0x0A": "0x26"}}
    ]})");
  std::uint32_t value = 0;
  ASSERT_TRUE(board->PortRead(0x80, 2, value));
  EXPECT_EQ(value, 0x2211u);
  ASSERT_TRUE(board->PortWrite(0x81, 1, 0x5A));
  ASSERT_TRUE(board->PortRead(0x81, 1, value));
  EXPECT_EQ(value, 0x5Au);
  board->PortWrite(0x70, 1, 0x0A);
  board->PortRead(0x71, 1, value);
  EXPECT_EQ(value, 0x26u);
  // Unclaimed: all ones of the width, writes go nowhere, still a completed cycle.
  ASSERT_TRUE(board->PortRead(0x3F8, 2, value));
  EXPECT_EQ(value, 0xFFFFu);
  EXPECT_TRUE(board->PortWrite(0x3F8, 1, 0x00));

  EXPECT_EQ(board->Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::In(0x80, 0x2211, 2), TPortCycle::Out(0x81, 0x5A),
                                     TPortCycle::In(0x81, 0x5A), TPortCycle::Out(0x70, 0x0A),
                                     TPortCycle::In(0x71, 0x26), TPortCycle::In(0x3F8, 0xFFFF, 2),
                                     TPortCycle::Out(0x3F8, 0x00)}));

  // A second device on a claimed port is refused, naming both.
  try {
    board->AddPortDevice(std::make_unique<TRegisterPorts>("late", 0x71, std::vector<std::uint8_t>{1}, false));
    FAIL() << "overlap accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("0x71"), std::string::npos) << e.what();
  }
}

TEST(VirtualBoard, PciThroughPortPairAndEcamWindowSeeTheSameFunction) {
  auto board = Board(R"({
    "pci": {
      "ecam": {"base": "0xE0000000", "buses": 4},
      "functions": [
        {"bdf": "00:1f.3", "vendor_id": "0x8086", "device_id": "0xA323", "class": "0x0C0500",
         "size": 4096, "dwords": {"0x20": "0x0000EFA1", "0x100": "0x12345678"}}
      ]}})");
  // Register 0x102 of 00:1f.3 through mechanism #1 with the extended register bits.
  std::uint32_t value = 0;
  ASSERT_TRUE(board->PciConfigRead(0x8100FB00, 0xCFE, 2, value));
  EXPECT_EQ(value, 0x1234u);
  EXPECT_EQ(board->Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0xCF8, 0x8100FB00, 4),
                                     TPortCycle::In(0xCFE, 0x1234, 2)}));
  const auto pci = board->Trace().OfKind(TTraceKind::PciRead);
  ASSERT_EQ(pci.size(), 1u);
  EXPECT_EQ(pci[0].Address, 0xFBu);
  EXPECT_EQ(pci[0].Register, 0x102);

  // The same register in the window, and the identity dword at offset 0.
  std::uint32_t dword = 0;
  ASSERT_TRUE(board->MemoryRead(0xE0000000ull + (0x1F << 15) + (3 << 12) + 0x100, &dword, 4, 4));
  EXPECT_EQ(dword, 0x12345678u);
  ASSERT_TRUE(board->MemoryRead(0xE0000000ull + (0x1F << 15) + (3 << 12), &dword, 4, 4));
  EXPECT_EQ(dword, 0xA3238086u);

  // Writes land in the function; the identity stays read-only.
  ASSERT_TRUE(board->PciConfigWrite(0x8000FB20, 0xCFC, 4, 0x0000F001));
  ASSERT_TRUE(board->PciConfigWrite(0x8000FB00, 0xCFC, 4, 0));
  EXPECT_EQ(board->PciFunction(0xFB)->Read(0x20, 4), 0xF001u);
  EXPECT_EQ(board->PciFunction(0xFB)->Read(0x00, 4), 0xA3238086u);

  // Absent functions and a cleared enable bit read all ones; the window ends after 4 buses.
  ASSERT_TRUE(board->PciConfigRead(0x80010000, 0xCFC, 4, value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  ASSERT_TRUE(board->PciConfigRead(0x0000FB00, 0xCFC, 4, value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_FALSE(board->MemoryRead(0xE0400000ull, &dword, 4, 4));
}

TEST(VirtualBoard, MemoryRegionsInlineFromFilesAndUnmappedRanges) {
  TTempDir dir;
  std::string image(0x100, '\0');
  for (int i = 0; i < 0x100; ++i) image[i] = static_cast<char>(i);
  dir.Write("low.bin", image);
  auto board = Board(R"({
    "memory": [
      {"base": "0xF0000", "file": "low.bin", "offset": "0x10", "size": "0x20"},
      {"base": "0xF0020", "bytes": "24 43 4E 31", "size": 8, "fill": "0xEE"},
      {"base": "0x1000", "size": "0x1000", "readonly": true}
    ]})", dir.Path());
  std::uint8_t bytes[0x28] = {};
  ASSERT_TRUE(board->MemoryRead(0xF0000, bytes, sizeof(bytes), 1));  // spans both regions
  EXPECT_EQ(bytes[0], 0x10);
  EXPECT_EQ(bytes[0x1F], 0x2F);
  EXPECT_EQ(bytes[0x20], 0x24);
  EXPECT_EQ(bytes[0x23], 0x31);
  EXPECT_EQ(bytes[0x24], 0xEE);

  // One byte past the last region: the whole request fails and moves nothing.
  std::uint8_t untouched[4] = {1, 2, 3, 4};
  EXPECT_FALSE(board->MemoryRead(0xF0026, untouched, 4, 1));
  EXPECT_EQ(untouched[0], 1);
  EXPECT_FALSE(board->MemoryWrite(0xF0026, untouched, 4, 1));
  std::uint8_t kept[2];
  ASSERT_TRUE(board->PeekMemory(0xF0026, kept, 2));
  EXPECT_EQ(kept[0], 0xEE);

  // Read-only regions ignore writes.
  const std::uint32_t pattern = 0xDEADBEEF;
  ASSERT_TRUE(board->MemoryWrite(0x1000, &pattern, 4, 4));
  std::uint32_t back = 1;
  ASSERT_TRUE(board->MemoryRead(0x1000, &back, 4, 4));
  EXPECT_EQ(back, 0u);

  // Overlapping regions are refused when the board is built.
  EXPECT_NE(LoadError(R"({"memory": [{"base": 0, "size": 16}, {"base": 8, "size": 16}]})").find("overlaps"),
            std::string::npos);
}

TEST(VirtualBoard, MemoryDevicesSeeOneAccessPerUnit) {
  TVirtualBoard board;
  auto& device = static_cast<TRecordingRegisters&>(
      board.AddMemoryDevice(0xFED00000, 0x100, std::make_unique<TRecordingRegisters>()));
  std::uint8_t buffer[8];
  ASSERT_TRUE(board.MemoryRead(0xFED00010, buffer, 4, 4));
  EXPECT_EQ(device.Accesses, (std::vector<std::pair<std::uint64_t, unsigned>>{{0x10, 4}}));
  device.Accesses.clear();
  ASSERT_TRUE(board.MemoryRead(0xFED00010, buffer, 4, 1));
  EXPECT_EQ(device.Accesses, (std::vector<std::pair<std::uint64_t, unsigned>>{
                                 {0x10, 1}, {0x11, 1}, {0x12, 1}, {0x13, 1}}));
  EXPECT_EQ(buffer[3], 0x13);
  const auto events = board.Trace().OfKind(TTraceKind::MemRead);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].Value, 0x10101010u);
  EXPECT_EQ(events[1].Width, 1u);
  EXPECT_EQ(events[1].Length, 4u);
}

TEST(VirtualBoard, InjectedFaults) {
  auto board = Board(R"({
    "ports": [{"first": "0x2E", "values": "87 01"}],
    "pci": {"functions": [{"bdf": "00:1f.3", "vendor_id": "0x8086", "device_id": "0x1234"}]},
    "memory": [{"base": "0xE0000", "size": "0x20000"}],
    "faults": {"ports": ["0x2F"], "pci": ["00:1f.3"],
               "memory": [{"base": "0xF0000", "size": 16}],
               "requests": [{"code": "0x222810", "count": 1}, "0x222848"]}})");
  std::uint32_t value = 0;
  EXPECT_TRUE(board->PortRead(0x2E, 1, value));
  EXPECT_FALSE(board->PortRead(0x2F, 1, value));
  EXPECT_FALSE(board->PciConfigRead(0x8000FB00, 0xCFC, 4, value));
  std::uint8_t bytes[32];
  EXPECT_TRUE(board->MemoryRead(0xEFFF0, bytes, 16, 1));
  EXPECT_FALSE(board->MemoryRead(0xEFFF8, bytes, 16, 1));  // touches the failing range
  EXPECT_EQ(board->InjectedStatus(0x222810), 0xC0000001u);
  EXPECT_EQ(board->InjectedStatus(0x222810), 0u);  // only once
  EXPECT_EQ(board->InjectedStatus(0x222848), 0xC0000001u);
  EXPECT_EQ(board->InjectedStatus(0x222848), 0xC0000001u);
  EXPECT_EQ(board->InjectedStatus(0x222814), 0u);
}

TEST(VirtualBoard, ProcessorState) {
  auto board = Board(R"({
    "cpu": {"count": 4, "msr": {"0x1B": "0xFEE00900"}, "cr": {"0": "0x80050033"},
            "tsc": 5000, "tsc_step": 10, "pmc": {"1": 77},
            "cpuid": [{"leaf": 0, "eax": 22, "ebx": "0x756E6547"},
                      {"leaf": 7, "subleaf": 1, "eax": 1}, {"leaf": 7, "eax": 2}]},
    "os": {"platform": 1, "major": 4, "minor": 10, "architecture": 0}})");
  std::uint64_t value = 0;
  ASSERT_TRUE(board->ReadMsr(0x1B, value));
  EXPECT_EQ(value, 0xFEE00900u);
  EXPECT_FALSE(board->ReadMsr(0x10, value));  // not on this processor
  EXPECT_FALSE(board->WriteMsr(0x10, 1));
  ASSERT_TRUE(board->ReadCr(0, value));
  EXPECT_EQ(value, 0x80050033u);
  board->ReadTsc(value);
  std::uint64_t later = 0;
  board->ReadTsc(later);
  EXPECT_EQ(value, 5000u);
  EXPECT_EQ(later, 5010u);
  EXPECT_TRUE(board->ReadPmc(1, value));
  EXPECT_FALSE(board->ReadPmc(0, value));
  TCpuidRegisters regs{7, 0, 1, 0};
  board->Cpuid(regs);
  EXPECT_EQ(regs.Eax, 1u);
  regs = {7, 0, 3, 0};
  board->Cpuid(regs);
  EXPECT_EQ(regs.Eax, 2u);
  regs = {0x80000000, 9, 9, 9};
  board->Cpuid(regs);
  EXPECT_EQ(regs.Ebx, 0u);
  EXPECT_FALSE(board->SetAffinity(1u << 4));
  EXPECT_FALSE(board->SetAffinity(0));
  EXPECT_TRUE(board->SetAffinity(1u << 3));
  TOsVersionInfo os;
  ASSERT_TRUE(board->QueryOsVersion(os));
  EXPECT_EQ(os.PlatformId, 1u);
  EXPECT_EQ(os.ProcessorCount, 4u);
}

// MSRs, performance counters and control registers: an index the board does not hold
// fails, leaves the caller's value and the board's registers as they were, and is traced
// with value 0 (reads) or the value offered (writes).
TEST(VirtualBoard, RegisterFilesTraceEveryAccessAndRefuseUnknownIndexes) {
  auto board = Board(R"({"cpu": {"msr": {"0x1B": 5}, "cr": {"3": 7}, "pmc": {"1": 9}}})");
  std::uint64_t value = 0x55;
  EXPECT_FALSE(board->ReadMsr(0x10, value));
  EXPECT_FALSE(board->ReadPmc(0, value));
  EXPECT_FALSE(board->ReadCr(9, value));
  EXPECT_EQ(value, 0x55u);
  EXPECT_FALSE(board->WriteMsr(0x10, 1));
  EXPECT_FALSE(board->WriteCr(9, 1));
  EXPECT_EQ(board->Msrs.count(0x10), 0u);
  ASSERT_TRUE(board->ReadMsr(0x1B, value));
  EXPECT_EQ(value, 5u);
  ASSERT_TRUE(board->WriteMsr(0x1B, 6));
  ASSERT_TRUE(board->WriteCr(3, 8));
  ASSERT_TRUE(board->ReadCr(3, value));
  EXPECT_EQ(value, 8u);
  ASSERT_TRUE(board->ReadPmc(1, value));
  EXPECT_EQ(value, 9u);
  EXPECT_EQ(board->Msrs, (std::map<std::uint32_t, std::uint64_t>{{0x1B, 6}}));
  EXPECT_EQ(board->ControlRegisters[3], 8u);

  using TEvent = std::tuple<TTraceKind, std::uint64_t, std::uint64_t, bool>;
  std::vector<TEvent> events;
  for (const auto& e : board->Trace().Events()) {
    events.emplace_back(e.Kind, e.Address, e.Value, e.Ok);
  }
  EXPECT_EQ(events, (std::vector<TEvent>{{TTraceKind::MsrRead, 0x10, 0, false},
                                         {TTraceKind::PmcRead, 0, 0, false},
                                         {TTraceKind::CrRead, 9, 0, false},
                                         {TTraceKind::MsrWrite, 0x10, 1, false},
                                         {TTraceKind::CrWrite, 9, 1, false},
                                         {TTraceKind::MsrRead, 0x1B, 5, true},
                                         {TTraceKind::MsrWrite, 0x1B, 6, true},
                                         {TTraceKind::CrWrite, 3, 8, true},
                                         {TTraceKind::CrRead, 3, 8, true},
                                         {TTraceKind::PmcRead, 1, 9, true}}));
}

// A request walks the ranges it covers: plain bytes in one piece per region, registers one
// access of the unit each. A unit that runs past the end of a device reads all ones and
// writes nothing, and the walk goes on at the next unit.
TEST(VirtualBoard, MemoryRequestsWalkRegionsAndDevicesUnitByUnit) {
  TVirtualBoard board;
  board.AddMemoryRegion(0x1000, {0x11, 0x22, 0x33, 0x44});
  auto& first = static_cast<TRecordingRegisters&>(
      board.AddMemoryDevice(0x1004, 6, std::make_unique<TRecordingRegisters>()));
  auto& second = static_cast<TRecordingRegisters&>(
      board.AddMemoryDevice(0x100A, 6, std::make_unique<TRecordingRegisters>()));
  using TAccesses = std::vector<std::pair<std::uint64_t, unsigned>>;

  std::uint8_t buffer[8] = {};
  ASSERT_TRUE(board.MemoryRead(0x1002, buffer, 8, 2));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 8),
            (std::vector<std::uint8_t>{0x33, 0x44, 0x00, 0x00, 0x02, 0x02, 0x04, 0x04}));
  EXPECT_EQ(first.Accesses, (TAccesses{{0, 2}, {2, 2}, {4, 2}}));
  first.Accesses.clear();
  ASSERT_TRUE(board.MemoryRead(0x1008, buffer, 8, 4));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 8),
            (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x02, 0x02, 0x02}));
  EXPECT_TRUE(first.Accesses.empty());
  EXPECT_EQ(second.Accesses, (TAccesses{{2, 4}}));
  second.Accesses.clear();

  const std::uint8_t data[8] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8};
  ASSERT_TRUE(board.MemoryWrite(0x1002, data, 8, 2));
  EXPECT_EQ(first.Accesses, (TAccesses{{0, 2}, {2, 2}, {4, 2}}));
  std::uint8_t region[4];
  ASSERT_TRUE(board.PeekMemory(0x1000, region, 4));
  EXPECT_EQ(std::vector<std::uint8_t>(region, region + 4),
            (std::vector<std::uint8_t>{0x11, 0x22, 0xA1, 0xA2}));
  first.Accesses.clear();
  ASSERT_TRUE(board.MemoryWrite(0x1008, data, 8, 4));
  EXPECT_TRUE(first.Accesses.empty());
  EXPECT_EQ(second.Accesses, (TAccesses{{2, 4}}));
}

// A plain region of a size that is no multiple of the unit, followed by a device: the last
// unit of the request is cut short by its end and must stay inside the caller's buffer.
TEST(VirtualBoard, AUnitCutShortByTheRequestEndStaysInsideTheBuffer) {
  TVirtualBoard board;
  board.AddMemoryRegion(0x2000, {1, 2, 3, 4, 5, 6});
  auto& device = static_cast<TRecordingRegisters&>(
      board.AddMemoryDevice(0x2006, 16, std::make_unique<TRecordingRegisters>()));
  using TAccesses = std::vector<std::pair<std::uint64_t, unsigned>>;
  std::uint8_t buffer[16];
  std::memset(buffer, 0xCC, sizeof buffer);
  ASSERT_TRUE(board.MemoryRead(0x2000, buffer, 12, 4));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 16),
            (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
                                       0xCC, 0xCC, 0xCC, 0xCC}));
  EXPECT_EQ(device.Accesses, (TAccesses{{0, 4}}));
  device.Accesses.clear();
  const std::uint8_t data[12] = {9, 9, 9, 9, 9, 9, 0xA1, 0xA2, 0xA3, 0xA4, 0xB1, 0xB2};
  ASSERT_TRUE(board.MemoryWrite(0x2000, data, 12, 4));
  EXPECT_EQ(device.Accesses, (TAccesses{{0, 4}}));  // the cut-short unit writes nothing
}

// Through the ECAM window a read traces its configuration accesses before the memory
// request (the values are known only then), a write the memory request first.
TEST(VirtualBoard, EcamRequestsTraceConfigurationAccessesInOrder) {
  auto board = Board(R"({"pci": {"ecam": {"base": "0xE0000000", "buses": 1},
    "functions": [{"bdf": "00:02.0", "vendor_id": "0x8086", "device_id": "0x1234", "size": 4096,
                   "dwords": {"0x100": "0x12345678"}}]}})");
  const std::uint64_t address = 0xE0000000ull + (2 << 15) + 0x100;
  using TEvent = std::tuple<TTraceKind, std::uint16_t, unsigned, std::uint64_t>;
  auto events = [&] {
    std::vector<TEvent> list;
    for (const auto& e : board->Trace().Events()) {
      list.emplace_back(e.Kind, e.Register, e.Width, e.Value);
    }
    return list;
  };
  std::uint32_t value = 0;
  ASSERT_TRUE(board->MemoryRead(address, &value, 4, 2));
  EXPECT_EQ(value, 0x12345678u);
  EXPECT_EQ(events(), (std::vector<TEvent>{{TTraceKind::PciRead, 0x100, 2, 0x5678},
                                           {TTraceKind::PciRead, 0x102, 2, 0x1234},
                                           {TTraceKind::MemRead, 0, 2, 0}}));
  board->Trace().Clear();
  value = 0xCAFEF00D;
  ASSERT_TRUE(board->MemoryWrite(address, &value, 4, 2));
  EXPECT_EQ(events(), (std::vector<TEvent>{{TTraceKind::MemWrite, 0, 2, 0},
                                           {TTraceKind::PciWrite, 0x100, 2, 0xF00D},
                                           {TTraceKind::PciWrite, 0x102, 2, 0xCAFE}}));
  EXPECT_EQ(board->PciFunction(0x10)->Read(0x100, 4), 0xCAFEF00Du);
}

TEST(VirtualBoard, BadBoardFilesNameTheField) {
  EXPECT_NE(LoadError(R"({"prots": []})").find("\"prots\""), std::string::npos);
  EXPECT_NE(LoadError(R"({"ports": [{"first": "0x2G", "values": "00"}]})").find("ports[0].first"),
            std::string::npos);
  EXPECT_NE(LoadError(R"({"pci": {"functions": [{"bdf": "00:20.0", "vendor_id": 1, "device_id": 2}]}})")
                .find("pci.functions[0].bdf"),
            std::string::npos);
  EXPECT_NE(LoadError(R"({"memory": [{"base": 0, "bytes": "1 2"}]})").find("memory[0].bytes"),
            std::string::npos);
  EXPECT_NE(LoadError(R"({"memory": [{"base": 0, "file": "missing.bin"}]})").find("missing.bin"),
            std::string::npos);
  EXPECT_NE(LoadError(R"({"cpu": {"count": {"a": 1}}})").find("cpu.count"), std::string::npos);
  EXPECT_NE(LoadError(R"({"ports": [{"type": 5}]})").find("board"), std::string::npos);
  EXPECT_NE(LoadError(R"([1, 2])").find("object"), std::string::npos);

  TTempDir dir;
  dir.Write("broken.json", "{\"ports\": [");
  try {
    TVirtualBoard::FromFile(dir.File("broken.json"));
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("broken.json: not valid JSON (parse error at line 1"),
              std::string::npos)
        << e.what();
  }
}

TEST(VirtualBoard, DeeplyNestedBoardFilesAreRefusedNotFollowed) {
  // 100,000 nested arrays as a port's values: printing them in the error message, or any
  // recursive walk, would exhaust the stack.
  TTempDir dir;
  const std::size_t n = 100000;
  const std::string deep = dir.Write(
      "deep.json", "{\"ports\": [{\"first\": \"0x80\", \"values\": " + std::string(n, '[') +
                       std::string(n, ']') + "}]}");
  try {
    TVirtualBoard::FromFile(deep);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "board file " + deep + ": arrays and objects nested deeper than 64 levels");
  }
  // Text the parser refuses for other reasons is no JSON either (a number beyond a double).
  for (const char* text : {"73e88883", "{\"ports\": [{\"first\": 1e999}]}"}) {
    const std::string file = dir.Write("number.json", text);
    try {
      TVirtualBoard::FromFile(file);
      FAIL() << text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("number.json: not valid JSON (number overflow"), std::string::npos)
          << e.what();
    }
  }
  // A value built in memory (a test's, the fuzzer's) meets the same bound.
  json value = json::array();
  for (int i = 0; i < 1000; ++i) value = json::array({std::move(value)});
  EXPECT_NE(LoadError(json{{"ports", {{{"first", "0x80"}, {"values", value}}}}}.dump().c_str())
                .find("nested deeper than 64 levels"),
            std::string::npos);
  // At the bound the board is parsed and the field judged as usual.
  const std::size_t inner = board::kMaxNesting - 3;  // the object, "ports" and the entry
  const std::string atBound = "{\"ports\": [{\"first\": \"0x80\", \"values\": " +
                              std::string(inner, '[') + std::string(inner, ']') + "}]}";
  EXPECT_NE(LoadError(atBound.c_str()).find("ports[0].values[0]: expected a number, got an array"),
            std::string::npos)
      << LoadError(atBound.c_str());
}

TEST(VirtualBoard, TraceOfPciAccessesNamesBusDeviceAndFunctionInFull) {
  // The highest device and function numbers: a field narrowed by one bit would show 15 or 3.
  auto board = Board(R"({"pci": {"functions": [{"bdf": "12:1f.7", "vendor_id": "0x8086", "device_id": "0x1234"}]}})");
  std::uint32_t value = 0;
  const std::uint32_t address = 0x80000000u | 0x12u << 16 | 31u << 11 | 7u << 8 | 0x40;
  board->PortWrite(0xCF8, 4, address);
  board->PortWrite(0xCFC, 4, 0xA5A5A5A5);
  board->PortWrite(0xCF8, 4, address & ~0xFFu);
  board->PortRead(0xCFC, 4, value);
  EXPECT_EQ(value, 0x12348086u);
  const auto reads = board->Trace().OfKind(TTraceKind::PciRead);
  const auto writes = board->Trace().OfKind(TTraceKind::PciWrite);
  ASSERT_EQ(reads.size(), 1u);
  ASSERT_EQ(writes.size(), 1u);
  for (const json& event : {TAccessTrace::ToJson(writes[0]), TAccessTrace::ToJson(reads[0])}) {
    EXPECT_EQ(event["bus"], 0x12) << event.dump();
    EXPECT_EQ(event["device"], 31) << event.dump();
    EXPECT_EQ(event["function"], 7) << event.dump();
  }
  EXPECT_EQ(TAccessTrace::ToJson(writes[0])["kind"], "pci_write");
  EXPECT_EQ(TAccessTrace::ToJson(writes[0])["register"], 0x40);
  EXPECT_EQ(TAccessTrace::ToJson(reads[0])["kind"], "pci_read");
}

TEST(VirtualBoard, TraceLogWritesOneJsonObjectPerEventAsItHappens) {
  TTempDir dir;
  auto board = Board(R"({"ports": [{"first": "0x2E", "values": "87"}]})");
  ASSERT_TRUE(board->Trace().OpenLog(dir.File("trace.jsonl")));
  std::uint32_t value = 0;
  board->PortWrite(0x2E, 1, 0x55);
  board->PortRead(0x2E, 1, value);
  board->Trace().State("chip", json{{"mode", "config"}});
  // Readable before the board goes: every line is flushed when written.
  std::ifstream in(dir.File("trace.jsonl"));
  std::vector<json> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["seq"], 1);
  EXPECT_EQ(lines[0]["kind"], "out");
  EXPECT_EQ(lines[0]["port"], 0x2E);
  EXPECT_EQ(lines[0]["value"], 0x55);
  EXPECT_EQ(lines[1]["kind"], "in");
  EXPECT_EQ(lines[1]["value"], 0x55);
  EXPECT_EQ(lines[2]["seq"], 3);
  EXPECT_EQ(lines[2]["state"]["mode"], "config");
  EXPECT_LE(lines[0]["us"].get<std::uint64_t>(), lines[2]["us"].get<std::uint64_t>());
}
