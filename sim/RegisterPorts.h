#pragma once
// The two generic port devices a board file can declare without a subsystem of its own.
//
// TRegisterPorts: a row of byte registers at consecutive ports (a POST code latch, a
// status port). Wider cycles split into bytes at ascending ports; read-only rows ignore
// writes.
//
// TIndexDataPorts: an index/data register pair with 256 byte registers behind it (a CMOS
// bank, a hardware monitor's address/data ports, a Super I/O chip that needs no unlock).
// The index port reads back the selected index.

#include <array>

#include "sim/PortDevice.h"

class TRegisterPorts : public TPortDevice {
 public:
  TRegisterPorts(std::string name, std::uint16_t first, std::vector<std::uint8_t> values,
                 bool readOnly);
  std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const override;
  std::uint32_t Read(std::uint16_t port, unsigned width) override;
  void Write(std::uint16_t port, unsigned width, std::uint32_t value) override;
  std::string Name() const override { return m_Name; }
  nlohmann::json Report() const override;

  std::vector<std::uint8_t>& Values() { return m_Values; }

 private:
  std::string m_Name;
  std::uint16_t m_First;
  std::vector<std::uint8_t> m_Values;
  bool m_ReadOnly;
};

class TIndexDataPorts : public TPortDevice {
 public:
  TIndexDataPorts(std::string name, std::uint16_t indexPort, std::uint16_t dataPort);
  std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const override;
  std::uint32_t Read(std::uint16_t port, unsigned width) override;
  void Write(std::uint16_t port, unsigned width, std::uint32_t value) override;
  std::string Name() const override { return m_Name; }

  std::array<std::uint8_t, 256> Registers{};
  std::uint8_t Index = 0;

 private:
  std::string m_Name;
  std::uint16_t m_IndexPort;
  std::uint16_t m_DataPort;
};
