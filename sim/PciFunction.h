#pragma once
// One PCI function of the virtual board: its configuration space (256 bytes for a
// conventional function, 4096 for a PCI Express one). The board reaches it through the
// 0xCF8/0xCFC port pair and through the ECAM window alike.
//
// The default behaviour is plain storage with the identity fields read-only (vendor and
// device id, revision and class code, header type), so enumeration stays stable whatever a
// script writes. A device with register side effects derives from it.

#include <cstdint>
#include <vector>

class TVirtualBoard;

class TPciFunction {
 public:
  // `config` holds 256 or 4096 bytes (shorter images are padded with all ones up to 256).
  explicit TPciFunction(std::vector<std::uint8_t> config);
  virtual ~TPciFunction() = default;

  // Registers at or above the configuration size read as all ones and ignore writes.
  virtual std::uint32_t Read(std::uint16_t reg, unsigned width);
  virtual void Write(std::uint16_t reg, unsigned width, std::uint32_t value);

  std::vector<std::uint8_t>& Config() { return m_Config; }
  const std::vector<std::uint8_t>& Config() const { return m_Config; }

  // Builds a type-0 header with these identity values and the rest zero.
  static std::vector<std::uint8_t> Header(std::uint16_t vendorId, std::uint16_t deviceId,
                                          std::uint32_t classCode, std::uint8_t revision,
                                          std::uint8_t headerType, std::size_t size);

  TVirtualBoard* Board = nullptr;

 private:
  std::vector<std::uint8_t> m_Config;
};
