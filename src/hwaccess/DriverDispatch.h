#pragma once
// The access driver's dispatcher: one device-control request on the buffered method's
// system buffer, performed on a machine layer and answered with an NTSTATUS and a reply
// size. The same source serves the driver that runs in this process (TAccessDriver, on the
// virtual board or the Linux back end) and the kernel driver OrvDrv101.sys
// (hwaccess/kernel/), which instantiates it on its machine layer of real instructions. It
// therefore uses nothing but the compiler's freestanding headers.
//
// Every request is checked before the machine is touched:
//   - an input buffer shorter than the request record, or an output buffer shorter than
//     the reply, fails with 0xC000000D;
//   - a memory request with Unit other than 0, 1, 2, a Length that is not a multiple of the
//     unit's width, a physical range that wraps past the top of the address space, or a
//     null Buffer fails with 0xC000000D. Length 0 moves nothing and succeeds;
//   - a control-register index outside 0, 2, 3, 4, 8 (reads) or 0, 3, 4, 8 (writes) fails
//     with 0xC0000001;
//   - codes the build does not know fail with 0xC000000D.
// The machine may still refuse an operation (a range it cannot map, a caller buffer it
// cannot reach, an interface the back end lacks): the request then fails with the status
// it gives, and no reply.
//
// The machine layer is any type with these members (false: not performed):
//   bool PortRead(uint16 port, unsigned width, uint32& value);
//   bool PortWrite(uint16 port, unsigned width, uint32 value);
//   bool PciConfigRead(uint32 addressWord, uint16 dataPort, unsigned width, uint32& value);
//   bool PciConfigWrite(uint32 addressWord, uint16 dataPort, unsigned width, uint32 value);
//   uint32 MoveMemory(bool write, uint64 physical, uint64 buffer, uint32 length,
//                     unsigned unit);  // NTSTATUS; length is a nonzero multiple of unit
//   bool ReadMsr(uint32 index, uint64& value);   bool WriteMsr(uint32 index, uint64 value);
//   bool ReadTsc(uint64& value);                 bool ReadPmc(uint32 index, uint64& value);
//   bool ReadCr(uint32 index, uint64& value);    bool WriteCr(uint32 index, uint64 value);
//   uint32 InjectedStatus(uint32 code);          // nonzero fails the request before it runs
//   uint32 MapPage(void* buffer, uint32& information);   // Windows 9x build only
//   uint32 UnmapPage(void* buffer);                      // Windows 9x build only

#include "hwaccess/DriverProtocol.h"

namespace drv {

enum class TBuild {
  Nt64,   // the x64 and Itanium kernel drivers
  Nt32,   // the 32-bit kernel driver: control registers are 32 bits wide
  Win9x,  // the dynamically loaded driver of Windows 95/98/Me: codes 0x222800..0x222848
};

namespace dispatch {

template <typename Record>
inline Record Load(const void* buffer) {
  Record record;
  __builtin_memcpy(&record, buffer, sizeof(Record));
  return record;
}

template <typename Record>
inline void Store(void* buffer, const Record& record) {
  __builtin_memcpy(buffer, &record, sizeof(Record));
}

// Bytes moved by a port or PCI code.
inline unsigned Width(std::uint32_t code) {
  switch (code) {
    case kReadPortByte: case kWritePortByte:
    case kReadPciByte: case kWritePciByte: return 1;
    case kReadPortWord: case kWritePortWord:
    case kReadPciWord: case kWritePciWord: return 2;
    default: return 4;
  }
}

inline std::uint32_t WidthMask(unsigned width) {
  return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

inline bool CrReadable(std::uint32_t index) {
  return index == 0 || index == 2 || index == 3 || index == 4 || index == 8;
}
// CR2 (the page-fault address) cannot be written.
inline bool CrWritable(std::uint32_t index) {
  return index == 0 || index == 3 || index == 4 || index == 8;
}

template <typename Machine>
std::uint32_t Memory(Machine& machine, bool write, void* buffer, std::uint32_t& information) {
  const auto request = Load<MemoryRequest>(buffer);
  if (request.Unit > 2) return kStatusInvalidParameter;
  const unsigned width = 1u << request.Unit;
  if (request.Length % width != 0) return kStatusInvalidParameter;
  if (request.Buffer == 0) return kStatusInvalidParameter;
  if (request.Length != 0) {
    if (request.Address + (request.Length - 1) < request.Address) return kStatusInvalidParameter;
    const std::uint32_t status =
        machine.MoveMemory(write, request.Address, request.Buffer, request.Length, width);
    if (status != kStatusSuccess) return status;
  }
  information = write ? 0 : sizeof(MemoryRequest);
  return kStatusSuccess;
}

}  // namespace dispatch

template <typename Machine>
std::uint32_t Dispatch(Machine& machine, TBuild build, std::uint32_t code, void* buffer,
                       std::uint32_t inputLength, std::uint32_t outputLength,
                       std::uint32_t& information) {
  using namespace dispatch;
  information = 0;
  // The Windows 9x build knows only the codes up to the MSR read; the NT builds do not
  // know the two page-mapping codes.
  if (build == TBuild::Win9x ? code > kReadMsr : (code == kMapPage || code == kUnmapPage)) {
    return kStatusInvalidParameter;
  }
  auto fits = [&](std::uint32_t in, std::uint32_t out) {
    return buffer != nullptr && inputLength >= in && outputLength >= out;
  };

  switch (code) {
    case kReadPortByte:
    case kReadPortWord:
    case kReadPortDword: {
      if (!fits(sizeof(PortRequest), sizeof(PortRequest))) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      const unsigned width = Width(code);
      std::uint32_t value = 0;
      if (!machine.PortRead(static_cast<std::uint16_t>(Load<PortRequest>(buffer).Port), width, value)) {
        return kStatusUnsuccessful;
      }
      // Only the bytes of the access width are stored; the rest of Value stays as it came.
      __builtin_memcpy(static_cast<unsigned char*>(buffer) + offsetof(PortRequest, Value), &value, width);
      information = sizeof(PortRequest);
      return kStatusSuccess;
    }
    case kWritePortByte:
    case kWritePortWord:
    case kWritePortDword: {
      if (!fits(sizeof(PortRequest), 0)) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      const auto request = Load<PortRequest>(buffer);
      const unsigned width = Width(code);
      return machine.PortWrite(static_cast<std::uint16_t>(request.Port), width,
                               request.Value & WidthMask(width))
                 ? kStatusSuccess
                 : kStatusUnsuccessful;
    }
    case kReadPciByte:
    case kReadPciWord:
    case kReadPciDword: {
      if (!fits(sizeof(PciRequest), sizeof(PciRequest))) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      const auto request = Load<PciRequest>(buffer);
      const unsigned width = Width(code);
      std::uint32_t value = 0;
      if (!machine.PciConfigRead(
              PciAddressWord(request.Bus, request.Device, request.Function, request.Register),
              PciDataPort(request.Register), width, value)) {
        return kStatusUnsuccessful;
      }
      __builtin_memcpy(static_cast<unsigned char*>(buffer) + offsetof(PciRequest, Value), &value, width);
      information = sizeof(PciRequest);
      return kStatusSuccess;
    }
    case kWritePciByte:
    case kWritePciWord:
    case kWritePciDword: {
      if (!fits(sizeof(PciRequest), 0)) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      const auto request = Load<PciRequest>(buffer);
      const unsigned width = Width(code);
      return machine.PciConfigWrite(
                 PciAddressWord(request.Bus, request.Device, request.Function, request.Register),
                 PciDataPort(request.Register), width, request.Value & WidthMask(width))
                 ? kStatusSuccess
                 : kStatusUnsuccessful;
    }
    case kReadMemory:
    case kWriteMemory: {
      const bool write = code == kWriteMemory;
      if (!fits(sizeof(MemoryRequest), write ? 0 : sizeof(MemoryRequest))) {
        return kStatusInvalidParameter;
      }
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      return Memory(machine, write, buffer, information);
    }
    case kReadMsr: {
      if (!fits(sizeof(MsrRequest), sizeof(MsrRequest))) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      auto request = Load<MsrRequest>(buffer);
      std::uint64_t value = 0;
      if (!machine.ReadMsr(request.Index, value)) return kStatusUnsuccessful;
      request.Low = static_cast<std::uint32_t>(value);
      request.High = static_cast<std::uint32_t>(value >> 32);
      Store(buffer, request);
      information = sizeof(MsrRequest);
      return kStatusSuccess;
    }
    case kWriteMsr: {
      if (!fits(sizeof(MsrRequest), 0)) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      const auto request = Load<MsrRequest>(buffer);
      return machine.WriteMsr(request.Index, static_cast<std::uint64_t>(request.High) << 32 | request.Low)
                 ? kStatusSuccess
                 : kStatusUnsuccessful;
    }
    case kReadTsc: {
      if (!fits(0, sizeof(CounterReply))) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      CounterReply reply{};
      if (!machine.ReadTsc(reply.Value)) return kStatusUnsuccessful;
      Store(buffer, reply);
      information = sizeof(CounterReply);
      return kStatusSuccess;
    }
    case kReadPmc: {
      if (!fits(sizeof(RegisterRequest), sizeof(RegisterRequest))) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      auto request = Load<RegisterRequest>(buffer);
      if (!machine.ReadPmc(request.Index, request.Value)) return kStatusUnsuccessful;
      Store(buffer, request);
      information = sizeof(RegisterRequest);
      return kStatusSuccess;
    }
    case kReadCr: {
      if (!fits(sizeof(RegisterRequest), sizeof(RegisterRequest))) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      auto request = Load<RegisterRequest>(buffer);
      if (!CrReadable(request.Index)) return kStatusUnsuccessful;
      std::uint64_t value = 0;
      if (!machine.ReadCr(request.Index, value)) return kStatusUnsuccessful;
      if (build == TBuild::Nt32) {
        // A 32-bit register, stored sign-extended.
        value = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(value)));
      }
      request.Value = value;
      Store(buffer, request);
      information = sizeof(RegisterRequest);
      return kStatusSuccess;
    }
    case kWriteCr: {
      if (!fits(sizeof(RegisterRequest), 0)) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      const auto request = Load<RegisterRequest>(buffer);
      if (!CrWritable(request.Index)) return kStatusUnsuccessful;
      const std::uint64_t value = build == TBuild::Nt32 ? (request.Value & 0xFFFFFFFFu) : request.Value;
      return machine.WriteCr(request.Index, value) ? kStatusSuccess : kStatusUnsuccessful;
    }
    case kMapPage: {
      if (!fits(sizeof(PageRequest), sizeof(PageRequest))) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      return machine.MapPage(buffer, information);
    }
    case kUnmapPage: {
      if (!fits(sizeof(PageRequest), 0)) return kStatusInvalidParameter;
      if (const std::uint32_t injected = machine.InjectedStatus(code)) return injected;
      return machine.UnmapPage(buffer);
    }
    default:
      return kStatusInvalidParameter;
  }
}

}  // namespace drv
