#pragma once
// Control protocol of the access driver OrvDrv101: device name, control codes and the
// fixed little-endian request records, byte for byte as the kernel driver reads them.

#include <cstddef>
#include <cstdint>

namespace drv {

inline constexpr char kDeviceName[] = "OrvDrv101";
inline constexpr char kDevicePath[] = "\\\\.\\OrvDrv101";

// Windows control-code encoding: device type 0x22 (unknown), any access, buffered method.
constexpr std::uint32_t ControlCode(std::uint32_t function) { return (0x22u << 16) | (function << 2); }

inline constexpr std::uint32_t kMapPage = ControlCode(0xA00);         // 0x222800, 9x build only
inline constexpr std::uint32_t kUnmapPage = ControlCode(0xA01);       // 0x222804, 9x build only
inline constexpr std::uint32_t kReadMemory = ControlCode(0xA02);      // 0x222808
inline constexpr std::uint32_t kWriteMemory = ControlCode(0xA03);     // 0x22280C
inline constexpr std::uint32_t kReadPortByte = ControlCode(0xA04);    // 0x222810
inline constexpr std::uint32_t kWritePortByte = ControlCode(0xA05);   // 0x222814
inline constexpr std::uint32_t kReadPortWord = ControlCode(0xA06);    // 0x222818
inline constexpr std::uint32_t kWritePortWord = ControlCode(0xA07);   // 0x22281C
inline constexpr std::uint32_t kReadPortDword = ControlCode(0xA08);   // 0x222820
inline constexpr std::uint32_t kWritePortDword = ControlCode(0xA09);  // 0x222824
inline constexpr std::uint32_t kReadPciByte = ControlCode(0xA0C);     // 0x222830
inline constexpr std::uint32_t kWritePciByte = ControlCode(0xA0D);    // 0x222834
inline constexpr std::uint32_t kReadPciWord = ControlCode(0xA0E);     // 0x222838
inline constexpr std::uint32_t kWritePciWord = ControlCode(0xA0F);    // 0x22283C
inline constexpr std::uint32_t kReadPciDword = ControlCode(0xA10);    // 0x222840
inline constexpr std::uint32_t kWritePciDword = ControlCode(0xA11);   // 0x222844
inline constexpr std::uint32_t kReadMsr = ControlCode(0xA12);         // 0x222848
inline constexpr std::uint32_t kWriteMsr = ControlCode(0xA13);        // 0x22284C
inline constexpr std::uint32_t kReadTsc = ControlCode(0xA19);         // 0x222864
inline constexpr std::uint32_t kReadPmc = ControlCode(0xA1A);         // 0x222868
inline constexpr std::uint32_t kReadCr = ControlCode(0xA1B);          // 0x22286C
inline constexpr std::uint32_t kWriteCr = ControlCode(0xA1C);         // 0x222870
static_assert(kMapPage == 0x222800 && kReadPciByte == 0x222830 && kWriteCr == 0x222870);

// NTSTATUS values the driver completes requests with.
inline constexpr std::uint32_t kStatusSuccess = 0x00000000;
inline constexpr std::uint32_t kStatusUnsuccessful = 0xC0000001;
inline constexpr std::uint32_t kStatusInvalidParameter = 0xC000000D;

}  // namespace drv

#pragma pack(push, 1)

struct PortRequest {
  std::uint32_t Port;   // 16-bit port number, zero-extended
  std::uint32_t Value;  // low byte, word or dword, by the width of the code
};
static_assert(sizeof(PortRequest) == 8);
static_assert(offsetof(PortRequest, Port) == 0 && offsetof(PortRequest, Value) == 4);

struct PciRequest {
  std::uint8_t Bus;
  std::uint8_t Device;
  std::uint8_t Function;
  std::uint8_t Reserved0;
  std::uint16_t Register;  // 0..0xFFF
  std::uint16_t Reserved1;
  std::uint32_t Value;
};
static_assert(sizeof(PciRequest) == 12);
static_assert(offsetof(PciRequest, Bus) == 0 && offsetof(PciRequest, Device) == 1 &&
              offsetof(PciRequest, Function) == 2 && offsetof(PciRequest, Register) == 4 &&
              offsetof(PciRequest, Value) == 8);

struct MemoryRequest {
  std::uint64_t Address;  // physical address
  std::uint32_t Length;   // bytes to move
  std::uint32_t Unit;     // 0 bytes, 1 words, 2 dwords
  std::uint64_t Buffer;   // caller's buffer in the caller's address space
};
static_assert(sizeof(MemoryRequest) == 24);
static_assert(offsetof(MemoryRequest, Address) == 0 && offsetof(MemoryRequest, Length) == 8 &&
              offsetof(MemoryRequest, Unit) == 12 && offsetof(MemoryRequest, Buffer) == 16);

struct MsrRequest {
  std::uint32_t Low;  // EAX
  std::uint32_t Reserved;
  std::uint32_t Index;  // ECX
  std::uint32_t High;   // EDX
};
static_assert(sizeof(MsrRequest) == 16);
static_assert(offsetof(MsrRequest, Low) == 0 && offsetof(MsrRequest, Index) == 8 &&
              offsetof(MsrRequest, High) == 12);

struct RegisterRequest {
  std::uint32_t Index;
  std::uint32_t Reserved;
  std::uint64_t Value;
};
static_assert(sizeof(RegisterRequest) == 16);
static_assert(offsetof(RegisterRequest, Index) == 0 && offsetof(RegisterRequest, Value) == 8);

struct CounterReply {
  std::uint64_t Value;
};
static_assert(sizeof(CounterReply) == 8);

struct PageRequest {
  std::uint32_t Address;  // in: physical page address; out: linear address, 0 on failure
};
static_assert(sizeof(PageRequest) == 4);

#pragma pack(pop)

namespace drv {

// PCI configuration address rule (mechanism #1 with extended register bits 27..24).
constexpr std::uint32_t PciAddressWord(std::uint8_t bus, std::uint8_t device,
                                       std::uint8_t function, std::uint16_t reg) {
  return 0x80000000u | (static_cast<std::uint32_t>((reg >> 8) & 0xF) << 24) |
         (static_cast<std::uint32_t>(bus) << 16) | (static_cast<std::uint32_t>(device) << 11) |
         (static_cast<std::uint32_t>(function) << 8) | (reg & 0xFCu);
}
constexpr std::uint16_t PciDataPort(std::uint16_t reg) {
  return static_cast<std::uint16_t>(0xCFC + (reg & 3));
}
static_assert(PciAddressWord(0, 0x1F, 3, 0x100) == 0x8100FB00 && PciDataPort(0x102) == 0xCFE);

}  // namespace drv
