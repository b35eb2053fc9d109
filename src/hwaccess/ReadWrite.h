#pragma once
// TReadWrite: the one object through which the whole tool touches hardware — I/O ports,
// index/data register pairs, PCI and PCI Express configuration space, physical memory and
// processor registers. Each operation is a thin synchronous wrapper around one or a few
// requests to the access driver (hwaccess/AccessDriver); on the Windows 9x class (OsFlags
// 0x10) ports and PCI configuration are reached directly instead.
//
// Failure values: reads that fail yield all ones of their width; port and PCI writes report
// true whatever happened; memory and MSR operations report the request's success.
//
// Not reentrant: requests are built in scratch fields of the single object.

#include <cstdint>
#include <memory>
#include <vector>

#include "host/Machine.h"
#include "hwaccess/DriverProtocol.h"
#include "hwaccess/OsVersion.h"
#include "hwaccess/RwConfig.h"

class TReadWrite {
 public:
  static TReadWrite& Instance();
  virtual ~TReadWrite();

  // Physical base of the PCI Express configuration window; 0xFFFFFFFF = unknown.
  std::uint32_t PcieBase = 0xFFFFFFFF;
  // When non-zero the interpreter refuses CPU switching. Nothing sets it.
  std::uint32_t RemoteMode = 0;

  // Ports.
  std::uint8_t ReadIoByte(std::uint16_t port);
  std::uint16_t ReadIoWord(std::uint16_t port);
  std::uint32_t ReadIoDword(std::uint16_t port);
  bool WriteIoByte(std::uint16_t port, std::uint8_t value);
  bool WriteIoWord(std::uint16_t port, std::uint16_t value);
  bool WriteIoDword(std::uint16_t port, std::uint32_t value);

  // Index/data pairs; index arithmetic is 8-bit; multi-byte values low byte at lowest index.
  std::uint8_t ReadIndexByte(std::uint16_t indexPort, std::uint16_t dataPort, std::uint8_t index);
  std::uint16_t ReadIndexWord(std::uint16_t indexPort, std::uint16_t dataPort, std::uint8_t index);
  std::uint32_t ReadIndexDword(std::uint16_t indexPort, std::uint16_t dataPort,
                               std::uint8_t index);
  bool WriteIndexByte(std::uint16_t indexPort, std::uint16_t dataPort, std::uint8_t value,
                      std::uint8_t index);
  bool WriteIndexWord(std::uint16_t indexPort, std::uint16_t dataPort, std::uint16_t value,
                      std::uint8_t index);

  // Legacy PCI configuration (mechanism #1 through the driver).
  std::uint8_t ReadPciByte(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                           std::uint16_t reg);
  std::uint16_t ReadPciWord(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                            std::uint16_t reg);
  std::uint32_t ReadPciDword(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                             std::uint16_t reg);
  bool WritePciByte(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                    std::uint16_t reg, std::uint8_t value);
  bool WritePciWord(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                    std::uint16_t reg, std::uint16_t value);
  bool WritePciDword(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                     std::uint16_t reg, std::uint32_t value);
  std::uint8_t ReadPciByte(std::uint16_t bdf, std::uint16_t reg);
  std::uint16_t ReadPciWord(std::uint16_t bdf, std::uint16_t reg);
  std::uint32_t ReadPciDword(std::uint16_t bdf, std::uint16_t reg);
  bool WritePciByte(std::uint16_t bdf, std::uint16_t reg, std::uint8_t value);
  bool WritePciWord(std::uint16_t bdf, std::uint16_t reg, std::uint16_t value);
  bool WritePciDword(std::uint16_t bdf, std::uint16_t reg, std::uint32_t value);

  // PCI Express configuration through the memory-mapped window at PcieBase.
  std::uint8_t ReadPcieByte(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                            std::uint16_t reg);
  std::uint16_t ReadPcieWord(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                             std::uint16_t reg);
  std::uint32_t ReadPcieDword(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                              std::uint16_t reg);
  bool WritePcieByte(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                     std::uint16_t reg, std::uint8_t value);
  bool WritePcieWord(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                     std::uint16_t reg, std::uint16_t value);
  bool WritePcieDword(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                      std::uint16_t reg, std::uint32_t value);
  std::uint8_t ReadPcieByte(std::uint16_t bdf, std::uint16_t reg);
  std::uint16_t ReadPcieWord(std::uint16_t bdf, std::uint16_t reg);
  std::uint32_t ReadPcieDword(std::uint16_t bdf, std::uint16_t reg);
  bool WritePcieByte(std::uint16_t bdf, std::uint16_t reg, std::uint8_t value);
  bool WritePcieWord(std::uint16_t bdf, std::uint16_t reg, std::uint16_t value);
  bool WritePcieDword(std::uint16_t bdf, std::uint16_t reg, std::uint32_t value);

  // Every present function in enumeration order (bus 0..255, device 0..31, functions 1..7
  // only when function 0's header type has bit 7 set), as packed bdf values.
  std::vector<std::uint16_t> PciFunctions();
  // PCI enumeration; 0xFFFF when there is no (index-th) match.
  std::uint16_t FindPciDevice(std::uint32_t ids, std::uint8_t index);
  std::uint16_t FindPciClass(std::uint32_t classCode, std::uint8_t index);

  // Physical memory. Units: 0 = bytes, 1 = 16-bit words, 2 = 32-bit dwords.
  std::uint8_t ReadMemByte(std::uint64_t address);
  std::uint16_t ReadMemWord(std::uint64_t address);
  std::uint32_t ReadMemDword(std::uint64_t address);
  bool WriteMemByte(std::uint64_t address, std::uint8_t value);
  bool WriteMemWord(std::uint64_t address, std::uint16_t value);
  bool WriteMemDword(std::uint64_t address, std::uint32_t value);
  bool ReadMemUnits(void* destination, std::uint32_t length, std::uint32_t unit,
                    std::uint64_t address);
  bool WriteMemUnits(const void* source, std::uint32_t length, std::uint32_t unit,
                     std::uint64_t address);
  bool ReadMemBlock(void* destination, std::uint32_t length, std::uint64_t address);
  bool ReadMem256(void* destination, std::uint64_t address);
  // Forward search; the match address, or 0x00000000FFFFFFFF when not found.
  std::uint64_t SearchMem(std::uint64_t address, std::uint32_t size, std::uint32_t step,
                          const void* pattern, std::uint32_t patternLength, std::uint32_t skip);

  // Processors and their registers.
  bool SwitchCpu(std::uint32_t cpu);  // 1-based
  bool ReadMsr(MsrRequest& request);
  bool WriteMsr(MsrRequest& request);
  std::uint64_t ReadCr(std::uint32_t index);  // all ones on failure
  bool WriteCr(std::uint32_t index, std::uint64_t value);
  std::uint64_t ReadTsc();                    // 0 on failure
  std::uint64_t ReadPmc(std::uint32_t index);  // 0 on failure
  bool Cpuid(TCpuidRegisters& registers);     // always true

  TRwConfig& Config();
  RwCfg& Settings();
  std::uint32_t OsFlags() const { return m_OsFlags; }
  std::uint32_t ProcessorCount() const;
  // Whether the loader produced an open driver handle.
  bool HasDriver() const;

 private:
  TReadWrite();
  static void ResetInstance();
  // mode 0: device and vendor ids; mode 1: class code.
  std::uint16_t FindPci(int mode, std::uint32_t target, std::uint8_t index);
  template <typename Visit>
  void ForEachPciFunction(Visit&& visit);
  // The bodies of the byte, word and dword operations, for a width of 1, 2 or 4 bytes.
  std::uint32_t IndexIn(std::uint16_t indexPort, std::uint16_t dataPort, std::uint8_t index,
                        unsigned width);
  bool IndexOut(std::uint16_t indexPort, std::uint16_t dataPort, std::uint32_t value,
                std::uint8_t index, unsigned width);
  std::uint32_t PcieIn(std::uint8_t bus, std::uint8_t device, std::uint8_t function,
                       std::uint16_t reg, unsigned width);
  bool PcieOut(std::uint8_t bus, std::uint8_t device, std::uint8_t function, std::uint16_t reg,
               unsigned width, std::uint32_t value);
  template <typename T>
  T ReadMemValue(std::uint64_t address);
  template <typename T>
  bool WriteMemValue(std::uint64_t address, T value);
  // The fields of the service as the driver protocol needs them live in ReadWrite.cpp.
  struct TImpl;
  std::unique_ptr<TImpl> m_Impl;
  std::uint32_t m_OsFlags = 0;
};
