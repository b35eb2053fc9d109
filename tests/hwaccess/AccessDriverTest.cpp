// The access driver's dispatcher: statuses, reply sizes and the exact cycles it performs
// on a back end, sent through the host device layer as the access service sends them.

#include <gtest/gtest.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "host/Device.h"
#include "hwaccess/AccessDriver.h"
#include "hwaccess/DriverProtocol.h"
#include "sim/VirtualBoard.h"

using nlohmann::json;

namespace {

class AccessDriverTest : public ::testing::Test {
 protected:
  void Open(TAccessDriver::TBuild build = TAccessDriver::TBuild::Nt64) {
    m_Driver = std::make_unique<TAccessDriver>(*m_Board, build);
    host::RegisterDevice("OrvDrv101-test", m_Driver.get());
    m_Handle = host::OpenDevice("\\\\.\\OrvDrv101-test");
    ASSERT_NE(m_Handle, host::kInvalidDeviceHandle);
  }
  void SetUp() override {
    m_Board = TVirtualBoard::FromJson(json::parse(R"({
      "ports": [{"first": "0x80", "values": "A5 5A 00 11"}],
      "pci": {"functions": [{"bdf": "00:1f.3", "vendor_id": "0x8086", "device_id": "0xA323",
                             "size": 4096, "dwords": {"0x100": "0xCAFEF00D"}}]},
      "memory": [{"base": "0xF0000", "bytes": "01 02 03 04 05 06 07 08", "size": "0x1000"}],
      "cpu": {"msr": {"0x1B": "0x00000001FEE00900"}, "cr": {"0": "0x80000011", "2": 7, "8": 15},
              "tsc": 1000, "pmc": {"0": 99}}
    })"));
    Open();
  }
  void TearDown() override {
    host::CloseDevice(m_Handle);
    host::UnregisterDevice("OrvDrv101-test");
  }
  // Sends `record` in and out; returns the status as success/failure and the reply size.
  template <typename Record>
  bool Send(std::uint32_t code, Record& record, std::uint32_t& information,
            std::uint32_t size = sizeof(Record)) {
    return host::DeviceIoControl(m_Handle, code, &record, size, &record, size, &information);
  }
  std::uint32_t Status(std::uint32_t code, void* buffer, std::uint32_t in, std::uint32_t out) {
    std::uint32_t information = 0;
    return m_Driver->Dispatch(code, buffer, in, out, information);
  }

  std::unique_ptr<TVirtualBoard> m_Board;
  std::unique_ptr<TAccessDriver> m_Driver;
  host::DeviceHandle m_Handle = host::kInvalidDeviceHandle;
};

}  // namespace

TEST_F(AccessDriverTest, ControlCodesFollowTheWindowsEncoding) {
  // function 0xA00 + n, device type 0x22, buffered, any access.
  const std::pair<std::uint32_t, std::uint32_t> codes[] = {
      {drv::kMapPage, 0x222800},      {drv::kUnmapPage, 0x222804},    {drv::kReadMemory, 0x222808},
      {drv::kWriteMemory, 0x22280C},  {drv::kReadPortByte, 0x222810}, {drv::kWritePortByte, 0x222814},
      {drv::kReadPortWord, 0x222818}, {drv::kWritePortWord, 0x22281C}, {drv::kReadPortDword, 0x222820},
      {drv::kWritePortDword, 0x222824}, {drv::kReadPciByte, 0x222830}, {drv::kWritePciByte, 0x222834},
      {drv::kReadPciWord, 0x222838},  {drv::kWritePciWord, 0x22283C}, {drv::kReadPciDword, 0x222840},
      {drv::kWritePciDword, 0x222844}, {drv::kReadMsr, 0x222848},     {drv::kWriteMsr, 0x22284C},
      {drv::kReadTsc, 0x222864},      {drv::kReadPmc, 0x222868},      {drv::kReadCr, 0x22286C},
      {drv::kWriteCr, 0x222870}};
  for (const auto& [code, expected] : codes) EXPECT_EQ(code, expected);
  // The address-word examples: register 0x100 and 0x102 of 00:1f.3.
  EXPECT_EQ(drv::PciAddressWord(0, 0x1F, 3, 0x100), 0x8100FB00u);
  EXPECT_EQ(drv::PciDataPort(0x100), 0xCFC);
  EXPECT_EQ(drv::PciAddressWord(0, 0x1F, 3, 0x102), 0x8100FB00u);
  EXPECT_EQ(drv::PciDataPort(0x102), 0xCFE);
  EXPECT_EQ(drv::PciAddressWord(0xFF, 0, 7, 0xFFF), 0x8FFF07FCu);
}

TEST_F(AccessDriverTest, PortRequestsStoreOnlyTheBytesOfTheirWidth) {
  PortRequest request{0x80, 0xDDCCBBAA};
  std::uint32_t information = 0;
  ASSERT_TRUE(Send(drv::kReadPortByte, request, information));
  EXPECT_EQ(information, 8u);
  EXPECT_EQ(request.Value, 0xDDCCBBA5u);  // bytes 5..7 as they came in
  ASSERT_TRUE(Send(drv::kReadPortWord, request, information));
  EXPECT_EQ(request.Value, 0xDDCC5AA5u);
  ASSERT_TRUE(Send(drv::kReadPortDword, request, information));
  EXPECT_EQ(request.Value, 0x11005AA5u);

  request = {0x10080, 0xFFFFFF42};  // the port is the low 16 bits; the datum the low byte
  ASSERT_TRUE(Send(drv::kWritePortByte, request, information));
  EXPECT_EQ(information, 0u);
  request = {0x82, 0x12345678};
  ASSERT_TRUE(Send(drv::kWritePortWord, request, information));
  EXPECT_EQ(m_Board->Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::In(0x80, 0xA5), TPortCycle::In(0x80, 0x5AA5, 2),
                                     TPortCycle::In(0x80, 0x11005AA5, 4), TPortCycle::Out(0x80, 0x42),
                                     TPortCycle::Out(0x82, 0x5678, 2)}));
}

TEST_F(AccessDriverTest, PciRequestsDriveTheConfigurationPortPair) {
  PciRequest request{0, 0x1F, 3, 0xEE, 0x102, 0xEEEE, 0};
  std::uint32_t information = 0;
  ASSERT_TRUE(Send(drv::kReadPciWord, request, information));
  EXPECT_EQ(information, 12u);
  EXPECT_EQ(request.Value, 0xCAFEu);
  request.Register = 0x40;
  request.Value = 0x1234ABCD;
  ASSERT_TRUE(Send(drv::kWritePciByte, request, information));
  EXPECT_EQ(information, 0u);
  EXPECT_EQ(m_Board->Trace().PortCycles(),
            (std::vector<TPortCycle>{TPortCycle::Out(0xCF8, 0x8100FB00, 4), TPortCycle::In(0xCFE, 0xCAFE, 2),
                                     TPortCycle::Out(0xCF8, 0x8000FB40, 4), TPortCycle::Out(0xCFC, 0xCD)}));
  EXPECT_EQ(m_Board->PciFunction(0xFB)->Read(0x40, 4), 0xCDu);
}

TEST_F(AccessDriverTest, MemoryRequestsMoveUnitsAndRejectBadShapes) {
  std::uint8_t bytes[8] = {};
  MemoryRequest request{0xF0000, 4, 2, reinterpret_cast<std::uintptr_t>(bytes)};
  std::uint32_t information = 0;
  ASSERT_TRUE(Send(drv::kReadMemory, request, information));
  EXPECT_EQ(information, 24u);
  EXPECT_EQ(bytes[3], 4);
  auto reads = m_Board->Trace().OfKind(TTraceKind::MemRead);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].Width, 4u);  // one dword access

  const std::uint8_t out[2] = {0xAA, 0xBB};
  request = {0xF0006, 2, 1, reinterpret_cast<std::uintptr_t>(out)};
  ASSERT_TRUE(Send(drv::kWriteMemory, request, information));
  EXPECT_EQ(information, 0u);
  std::uint8_t written[2];
  ASSERT_TRUE(m_Board->PeekMemory(0xF0006, written, 2));
  EXPECT_EQ(written[1], 0xBB);

  // Unmappable range: unsuccessful, nothing moved, no reply.
  std::memset(bytes, 0x11, sizeof(bytes));
  request = {0xF0FFC, 8, 0, reinterpret_cast<std::uintptr_t>(bytes)};
  EXPECT_FALSE(Send(drv::kReadMemory, request, information));
  EXPECT_EQ(information, 0u);
  EXPECT_EQ(bytes[0], 0x11);
  EXPECT_EQ(Status(drv::kReadMemory, &request, 24, 24), drv::kStatusUnsuccessful);
  // Unit 3, a length not a multiple of the unit, a null buffer: invalid parameter.
  request = {0xF0000, 4, 3, reinterpret_cast<std::uintptr_t>(bytes)};
  EXPECT_EQ(Status(drv::kReadMemory, &request, 24, 24), drv::kStatusInvalidParameter);
  request = {0xF0000, 6, 2, reinterpret_cast<std::uintptr_t>(bytes)};
  EXPECT_EQ(Status(drv::kReadMemory, &request, 24, 24), drv::kStatusInvalidParameter);
  request = {0xF0000, 4, 0, 0};
  EXPECT_EQ(Status(drv::kWriteMemory, &request, 24, 0), drv::kStatusInvalidParameter);
  // A range that wraps past the top of the physical address space is refused, not mapped.
  request = {0xFFFFFFFFFFFFFFFCull, 8, 0, reinterpret_cast<std::uintptr_t>(bytes)};
  EXPECT_EQ(Status(drv::kReadMemory, &request, 24, 24), drv::kStatusInvalidParameter);
  // The first read and the two unmappable ones; the malformed requests never reached memory.
  EXPECT_EQ(m_Board->Trace().OfKind(TTraceKind::MemRead).size(), 3u);
}

TEST_F(AccessDriverTest, ProcessorRegisterRequests) {
  MsrRequest msr{0, 0, 0x1B, 0};
  std::uint32_t information = 0;
  ASSERT_TRUE(Send(drv::kReadMsr, msr, information));
  EXPECT_EQ(information, 16u);
  EXPECT_EQ(msr.Low, 0xFEE00900u);
  EXPECT_EQ(msr.High, 1u);
  msr = {0x900, 0, 0x1B, 2};
  ASSERT_TRUE(Send(drv::kWriteMsr, msr, information));
  EXPECT_EQ(m_Board->Msrs[0x1B], 0x0000000200000900u);
  msr.Index = 0x10;  // a register the processor lacks
  EXPECT_FALSE(Send(drv::kReadMsr, msr, information));

  CounterReply tsc{0};
  ASSERT_TRUE(Send(drv::kReadTsc, tsc, information));
  EXPECT_EQ(information, 8u);
  EXPECT_EQ(tsc.Value, 1000u);
  RegisterRequest pmc{0, 0, 0};
  ASSERT_TRUE(Send(drv::kReadPmc, pmc, information));
  EXPECT_EQ(pmc.Value, 99u);

  // Control registers: 0, 2, 3, 4, 8 readable; 2 is not writable; the rest fail both ways.
  for (std::uint32_t index : {0u, 2u, 3u, 4u, 8u}) {
    RegisterRequest cr{index, 0, 0};
    EXPECT_TRUE(Send(drv::kReadCr, cr, information)) << index;
    EXPECT_EQ(information, 16u);
  }
  for (std::uint32_t index : {1u, 5u, 6u, 7u, 9u, 0x80000000u}) {
    RegisterRequest cr{index, 0, 5};
    EXPECT_EQ(Status(drv::kReadCr, &cr, 16, 16), drv::kStatusUnsuccessful) << index;
    EXPECT_EQ(Status(drv::kWriteCr, &cr, 16, 0), drv::kStatusUnsuccessful) << index;
  }
  RegisterRequest cr2{2, 0, 1};
  EXPECT_EQ(Status(drv::kWriteCr, &cr2, 16, 0), drv::kStatusUnsuccessful);
  EXPECT_EQ(m_Board->ControlRegisters[2], 7u);
  RegisterRequest cr4{4, 0, 0x3406F0};
  ASSERT_TRUE(Send(drv::kWriteCr, cr4, information));
  EXPECT_EQ(m_Board->ControlRegisters[4], 0x3406F0u);
}

TEST_F(AccessDriverTest, UnknownCodesShortBuffersAndBackEndFailures) {
  unsigned char buffer[32] = {};
  EXPECT_EQ(Status(0x2228A8, buffer, 32, 32), drv::kStatusInvalidParameter);
  EXPECT_EQ(Status(0x222850, buffer, 32, 32), drv::kStatusInvalidParameter);
  // The NT builds do not answer the page-mapping codes.
  EXPECT_EQ(Status(drv::kMapPage, buffer, 4, 4), drv::kStatusInvalidParameter);
  // One byte short of the record, in or out.
  EXPECT_EQ(Status(drv::kReadPortByte, buffer, 7, 8), drv::kStatusInvalidParameter);
  EXPECT_EQ(Status(drv::kReadPortByte, buffer, 8, 7), drv::kStatusInvalidParameter);
  EXPECT_EQ(Status(drv::kReadPciDword, buffer, 11, 12), drv::kStatusInvalidParameter);
  EXPECT_EQ(Status(drv::kWriteMemory, buffer, 23, 0), drv::kStatusInvalidParameter);
  EXPECT_EQ(Status(drv::kReadMsr, buffer, 16, 15), drv::kStatusInvalidParameter);
  EXPECT_EQ(Status(drv::kReadTsc, buffer, 8, 4), drv::kStatusInvalidParameter);
  EXPECT_EQ(Status(drv::kWriteCr, buffer, 15, 0), drv::kStatusInvalidParameter);
  // No system buffer at all, whatever lengths the request claims.
  EXPECT_EQ(Status(drv::kReadPortDword, nullptr, 8, 8), drv::kStatusInvalidParameter);
  EXPECT_TRUE(m_Board->Trace().Events().empty());

  // A failing port and an injected request fault.
  m_Board->FailPort(0x80, 0x80);
  PortRequest port{0x80, 0};
  EXPECT_EQ(Status(drv::kReadPortByte, &port, 8, 8), drv::kStatusUnsuccessful);
  m_Board->FailRequest(drv::kReadTsc, 0xC0000022);
  CounterReply tsc{0};
  EXPECT_EQ(Status(drv::kReadTsc, &tsc, 8, 8), 0xC0000022u);
}

TEST_F(AccessDriverTest, Windows9xBuildMapsPagesAndKnowsOnlyItsCodes) {
  Open(TAccessDriver::TBuild::Win9x);
  PageRequest map{0xF0004};
  std::uint32_t information = 0;
  ASSERT_TRUE(Send(drv::kMapPage, map, information));
  EXPECT_EQ(information, 4u);
  ASSERT_NE(map.Address, 0u);
  auto* linear = reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(map.Address));
  EXPECT_EQ(linear[0], 5);  // the linear address of 0xF0004 itself
  linear[1] = 0x66;
  PageRequest unmap{map.Address};
  ASSERT_TRUE(host::DeviceIoControl(m_Handle, drv::kUnmapPage, &unmap, 4, nullptr, 0, &information));
  std::uint8_t back = 0;
  ASSERT_TRUE(m_Board->PeekMemory(0xF0005, &back, 1));
  EXPECT_EQ(back, 0x66);
  // Only the changed byte is written back.
  const auto writes = m_Board->Trace().OfKind(TTraceKind::MemWrite);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].Address, 0xF0005u);
  EXPECT_EQ(writes[0].Length, 1u);

  // A page that is not there maps to 0.
  map.Address = 0x100000;
  ASSERT_TRUE(Send(drv::kMapPage, map, information));
  EXPECT_EQ(map.Address, 0u);
  unsigned char buffer[16] = {};
  EXPECT_EQ(Status(drv::kReadTsc, buffer, 8, 8), drv::kStatusInvalidParameter);
  EXPECT_EQ(Status(drv::kWriteMsr, buffer, 16, 0), drv::kStatusInvalidParameter);
  PortRequest port{0x80, 0};
  EXPECT_EQ(Status(drv::kReadPortByte, &port, 8, 8), drv::kStatusSuccess);
}
