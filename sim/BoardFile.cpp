// Loading a TVirtualBoard from its board file (the format is described in
// docs/board-file.md).

#include <cstring>
#include <fstream>
#include <set>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/BoardJson.h"
#include "sim/BoardSections.h"
#include "sim/RegisterPorts.h"
#include "sim/VirtualBoard.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& what, const std::string& why) {
  throw std::runtime_error(what + ": " + why);
}

const json& Member(const json& object, const char* key, const std::string& what) {
  if (!object.is_object() || !object.contains(key)) Fail(what, std::string("missing \"") + key + "\"");
  return object.at(key);
}

void ExpectObject(const json& value, const std::string& what) {
  if (!value.is_object()) Fail(what, "expected an object");
}
void ExpectArray(const json& value, const std::string& what) {
  if (!value.is_array()) Fail(what, "expected an array");
}

void CheckKeys(const json& object, const std::string& what, std::initializer_list<const char*> keys) {
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const char* k : keys) known = known || key == k;
    if (!known) Fail(what, "unknown field \"" + key + "\"");
  }
}

void LoadPorts(TVirtualBoard& board, const json& ports) {
  ExpectArray(ports, "ports");
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const std::string what = "ports[" + std::to_string(i) + "]";
    const json& entry = ports[i];
    ExpectObject(entry, what);
    const std::string type = entry.value("type", std::string("registers"));
    const std::string name = entry.value("name", type + "@" + std::to_string(i));
    if (type == "registers") {
      CheckKeys(entry, what, {"type", "name", "first", "values", "readonly"});
      const auto first = static_cast<std::uint16_t>(board::Number(Member(entry, "first", what),
                                                                  what + ".first", 0xFFFF));
      auto values = board::Bytes(Member(entry, "values", what), what + ".values");
      if (values.empty() || first + values.size() > 0x10000) Fail(what, "values out of port space");
      board.AddPortDevice(std::make_unique<TRegisterPorts>(name, first, std::move(values),
                                                           entry.value("readonly", false)));
    } else if (type == "index_data") {
      CheckKeys(entry, what, {"type", "name", "index", "data", "registers"});
      const auto index = static_cast<std::uint16_t>(
          board::Number(Member(entry, "index", what), what + ".index", 0xFFFF));
      const auto data = static_cast<std::uint16_t>(
          board::Number(Member(entry, "data", what), what + ".data", 0xFFFF));
      auto device = std::make_unique<TIndexDataPorts>(name, index, data);
      if (entry.contains("registers")) {
        const json& registers = entry.at("registers");
        ExpectObject(registers, what + ".registers");
        for (const auto& [key, value] : registers.items()) {
          const auto reg = board::Number(json(key), what + ".registers key", 0xFF);
          device->Registers[reg] = static_cast<std::uint8_t>(
              board::Number(value, what + ".registers." + key, 0xFF));
        }
      }
      board.AddPortDevice(std::move(device));
    } else {
      Fail(what + ".type", "unknown port device type \"" + type + "\" (registers, index_data)");
    }
  }
}

void LoadPciFunction(TVirtualBoard& board, const json& entry, const std::string& what,
                     const fs::path& boardDir) {
  ExpectObject(entry, what);
  CheckKeys(entry, what, {"bdf", "file", "vendor_id", "device_id", "class", "revision",
                          "header_type", "size", "dwords", "bytes", "name"});
  const std::uint16_t bdf = board::Bdf(Member(entry, "bdf", what), what + ".bdf");
  std::vector<std::uint8_t> config;
  if (entry.contains("file")) {
    config = board::ReadFile(boardDir, entry.at("file").get<std::string>(), what + ".file");
    if (config.size() != 256 && config.size() != 4096) {
      Fail(what + ".file", "a configuration image holds 256 or 4096 bytes, not " +
                               std::to_string(config.size()));
    }
  } else {
    const auto size = board::NumberOr(entry, "size", 256, what, 4096);
    if (size != 256 && size != 4096) Fail(what + ".size", "256 or 4096");
    config = TPciFunction::Header(
        static_cast<std::uint16_t>(board::Number(Member(entry, "vendor_id", what), what + ".vendor_id", 0xFFFF)),
        static_cast<std::uint16_t>(board::Number(Member(entry, "device_id", what), what + ".device_id", 0xFFFF)),
        static_cast<std::uint32_t>(board::NumberOr(entry, "class", 0, what, 0xFFFFFF)),
        static_cast<std::uint8_t>(board::NumberOr(entry, "revision", 0, what, 0xFF)),
        static_cast<std::uint8_t>(board::NumberOr(entry, "header_type", 0, what, 0xFF)), size);
  }
  // Register values given on top of the header or image.
  if (entry.contains("dwords")) {
    ExpectObject(entry.at("dwords"), what + ".dwords");
    for (const auto& [key, value] : entry.at("dwords").items()) {
      const auto reg = board::Number(json(key), what + ".dwords key", config.size() - 4);
      if (reg % 4 != 0) Fail(what + ".dwords." + key, "register is not dword-aligned");
      const auto v = static_cast<std::uint32_t>(board::Number(value, what + ".dwords." + key, 0xFFFFFFFF));
      for (int b = 0; b < 4; ++b) config[reg + b] = static_cast<std::uint8_t>(v >> (8 * b));
    }
  }
  if (entry.contains("bytes")) {
    ExpectObject(entry.at("bytes"), what + ".bytes");
    for (const auto& [key, value] : entry.at("bytes").items()) {
      const auto reg = board::Number(json(key), what + ".bytes key", config.size() - 1);
      const auto bytes = board::Bytes(value, what + ".bytes." + key);
      if (reg + bytes.size() > config.size()) Fail(what + ".bytes." + key, "beyond the configuration space");
      std::memcpy(config.data() + reg, bytes.data(), bytes.size());
    }
  }
  board.AddPciFunction(bdf, std::make_unique<TPciFunction>(std::move(config)));
}

// A whole bus as the ECAM window shows it: 32 devices x 8 functions x 4096 bytes, absent
// functions all ones.
void LoadPciBusImage(TVirtualBoard& board, const json& entry, const std::string& what,
                     const fs::path& boardDir) {
  ExpectObject(entry, what);
  CheckKeys(entry, what, {"bus", "file"});
  const auto bus = static_cast<std::uint16_t>(board::Number(Member(entry, "bus", what), what + ".bus", 0xFF));
  const auto image = board::ReadFile(boardDir, Member(entry, "file", what).get<std::string>(), what + ".file");
  if (image.size() != 256 * 4096) Fail(what + ".file", "a bus image holds 1048576 bytes");
  for (unsigned fn = 0; fn < 256; ++fn) {
    const std::uint8_t* config = image.data() + fn * 4096;
    std::uint32_t ids;
    std::memcpy(&ids, config, 4);
    if (ids == 0xFFFFFFFF || ids == 0) continue;
    board.AddPciFunction(static_cast<std::uint16_t>(bus << 8 | fn),
                         std::make_unique<TPciFunction>(std::vector<std::uint8_t>(config, config + 4096)));
  }
}

void LoadPci(TVirtualBoard& board, const json& pci, const fs::path& boardDir) {
  ExpectObject(pci, "pci");
  CheckKeys(pci, "pci", {"ecam", "buses", "functions"});
  if (pci.contains("ecam")) {
    const json& ecam = pci.at("ecam");
    ExpectObject(ecam, "pci.ecam");
    CheckKeys(ecam, "pci.ecam", {"base", "buses"});
    const auto base = board::Number(Member(ecam, "base", "pci.ecam"), "pci.ecam.base");
    if (base % (1u << 20) != 0) Fail("pci.ecam.base", "must be 1 MiB aligned");
    board.SetEcamWindow(base, static_cast<unsigned>(board::NumberOr(ecam, "buses", 256, "pci.ecam", 256)));
  }
  if (pci.contains("buses")) {
    ExpectArray(pci.at("buses"), "pci.buses");
    for (std::size_t i = 0; i < pci.at("buses").size(); ++i) {
      LoadPciBusImage(board, pci.at("buses")[i], "pci.buses[" + std::to_string(i) + "]", boardDir);
    }
  }
  if (pci.contains("functions")) {
    ExpectArray(pci.at("functions"), "pci.functions");
    for (std::size_t i = 0; i < pci.at("functions").size(); ++i) {
      LoadPciFunction(board, pci.at("functions")[i], "pci.functions[" + std::to_string(i) + "]", boardDir);
    }
  }
}

// The regions of one board hold at most 512 MiB together, so no board file can make the
// tool allocate without bound.
constexpr std::uint64_t kMaxBoardMemory = 512u << 20;

void LoadMemory(TVirtualBoard& board, const json& memory, const fs::path& boardDir) {
  ExpectArray(memory, "memory");
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < memory.size(); ++i) {
    const std::string what = "memory[" + std::to_string(i) + "]";
    const json& entry = memory[i];
    ExpectObject(entry, what);
    CheckKeys(entry, what, {"base", "file", "offset", "size", "bytes", "fill", "readonly", "name"});
    const auto base = board::Number(Member(entry, "base", what), what + ".base");
    std::vector<std::uint8_t> bytes;
    if (entry.contains("file")) {
      auto image = board::ReadFile(boardDir, entry.at("file").get<std::string>(), what + ".file");
      const auto offset = board::NumberOr(entry, "offset", 0, what, image.size());
      const auto size = board::NumberOr(entry, "size", image.size() - offset, what, image.size() - offset);
      bytes.assign(image.begin() + static_cast<std::ptrdiff_t>(offset),
                   image.begin() + static_cast<std::ptrdiff_t>(offset + size));
    } else if (entry.contains("bytes")) {
      bytes = board::Bytes(entry.at("bytes"), what + ".bytes");
      if (entry.contains("size")) {
        const auto size = board::Number(entry.at("size"), what + ".size", 256u << 20);
        if (size < bytes.size()) Fail(what + ".size", "smaller than the bytes given");
        bytes.resize(size, static_cast<std::uint8_t>(board::NumberOr(entry, "fill", 0, what, 0xFF)));
      }
    } else {
      const auto size = board::Number(Member(entry, "size", what), what + ".size", 256u << 20);
      bytes.assign(size, static_cast<std::uint8_t>(board::NumberOr(entry, "fill", 0, what, 0xFF)));
    }
    if (bytes.empty()) Fail(what, "empty region");
    total += bytes.size();
    if (total > kMaxBoardMemory) Fail(what, "the board's memory regions exceed 512 MiB");
    try {
      board.AddMemoryRegion(base, std::move(bytes), entry.value("readonly", false));
    } catch (const std::runtime_error& e) {
      Fail(what, e.what());
    }
  }
}

TCpuidRegisters CpuidOut(const json& entry, const std::string& what) {
  TCpuidRegisters out;
  out.Eax = static_cast<std::uint32_t>(board::NumberOr(entry, "eax", 0, what, 0xFFFFFFFF));
  out.Ebx = static_cast<std::uint32_t>(board::NumberOr(entry, "ebx", 0, what, 0xFFFFFFFF));
  out.Ecx = static_cast<std::uint32_t>(board::NumberOr(entry, "ecx", 0, what, 0xFFFFFFFF));
  out.Edx = static_cast<std::uint32_t>(board::NumberOr(entry, "edx", 0, what, 0xFFFFFFFF));
  return out;
}

template <typename Map>
void LoadIndexedValues(const json& object, const std::string& what, Map& map) {
  ExpectObject(object, what);
  for (const auto& [key, value] : object.items()) {
    const auto index = static_cast<std::uint32_t>(board::Number(json(key), what + " key", 0xFFFFFFFF));
    map[index] = board::Number(value, what + "." + key);
  }
}

void LoadCpu(TVirtualBoard& board, const json& cpu) {
  ExpectObject(cpu, "cpu");
  CheckKeys(cpu, "cpu", {"count", "msr", "cr", "tsc", "tsc_step", "pmc", "cpuid"});
  board.Processors = static_cast<std::uint32_t>(board::NumberOr(cpu, "count", 1, "cpu", 64));
  if (board.Processors == 0) Fail("cpu.count", "at least one processor");
  if (cpu.contains("msr")) LoadIndexedValues(cpu.at("msr"), "cpu.msr", board.Msrs);
  if (cpu.contains("pmc")) LoadIndexedValues(cpu.at("pmc"), "cpu.pmc", board.Pmcs);
  if (cpu.contains("cr")) {
    std::map<std::uint32_t, std::uint64_t> crs;
    LoadIndexedValues(cpu.at("cr"), "cpu.cr", crs);
    for (const auto& [index, value] : crs) {
      if (index != 0 && index != 2 && index != 3 && index != 4 && index != 8) {
        Fail("cpu.cr", "control registers are 0, 2, 3, 4 and 8");
      }
      board.ControlRegisters[index] = value;
    }
  }
  board.Tsc = board::NumberOr(cpu, "tsc", 0, "cpu");
  board.TscStep = board::NumberOr(cpu, "tsc_step", 1000, "cpu");
  if (cpu.contains("cpuid")) {
    ExpectArray(cpu.at("cpuid"), "cpu.cpuid");
    for (std::size_t i = 0; i < cpu.at("cpuid").size(); ++i) {
      const std::string what = "cpu.cpuid[" + std::to_string(i) + "]";
      const json& entry = cpu.at("cpuid")[i];
      ExpectObject(entry, what);
      CheckKeys(entry, what, {"leaf", "subleaf", "eax", "ebx", "ecx", "edx"});
      TVirtualBoard::TCpuidLeaf leaf;
      leaf.Leaf = static_cast<std::uint32_t>(board::Number(Member(entry, "leaf", what), what + ".leaf", 0xFFFFFFFF));
      leaf.AnySubleaf = !entry.contains("subleaf");
      leaf.Subleaf = static_cast<std::uint32_t>(board::NumberOr(entry, "subleaf", 0, what, 0xFFFFFFFF));
      leaf.Out = CpuidOut(entry, what);
      board.CpuidLeaves.push_back(leaf);
    }
  }
}

void LoadOs(TVirtualBoard& board, const json& os) {
  ExpectObject(os, "os");
  CheckKeys(os, "os", {"platform", "major", "minor", "architecture", "wow64", "query_fails"});
  board.Os.PlatformId = static_cast<std::uint32_t>(board::NumberOr(os, "platform", 2, "os", 0xFFFFFFFF));
  board.Os.Major = static_cast<std::uint32_t>(board::NumberOr(os, "major", 10, "os", 0xFFFFFFFF));
  board.Os.Minor = static_cast<std::uint32_t>(board::NumberOr(os, "minor", 0, "os", 0xFFFFFFFF));
  board.Os.Architecture = static_cast<std::uint32_t>(board::NumberOr(os, "architecture", 9, "os", 0xFFFF));
  board.Os.Wow64 = os.value("wow64", false);
  board.OsQueryFails = os.value("query_fails", false);
}

void LoadFaults(TVirtualBoard& board, const json& faults) {
  ExpectObject(faults, "faults");
  CheckKeys(faults, "faults", {"ports", "pci", "memory", "requests"});
  if (faults.contains("ports")) {
    ExpectArray(faults.at("ports"), "faults.ports");
    for (std::size_t i = 0; i < faults.at("ports").size(); ++i) {
      const std::string what = "faults.ports[" + std::to_string(i) + "]";
      const json& entry = faults.at("ports")[i];
      if (entry.is_object()) {
        const auto first = static_cast<std::uint16_t>(board::Number(Member(entry, "first", what), what + ".first", 0xFFFF));
        const auto last = static_cast<std::uint16_t>(board::NumberOr(entry, "last", first, what, 0xFFFF));
        if (last < first) Fail(what, "last below first");
        board.FailPort(first, last);
      } else {
        const auto port = static_cast<std::uint16_t>(board::Number(entry, what, 0xFFFF));
        board.FailPort(port, port);
      }
    }
  }
  if (faults.contains("pci")) {
    ExpectArray(faults.at("pci"), "faults.pci");
    for (std::size_t i = 0; i < faults.at("pci").size(); ++i) {
      board.FailPciFunction(board::Bdf(faults.at("pci")[i], "faults.pci[" + std::to_string(i) + "]"));
    }
  }
  if (faults.contains("memory")) {
    ExpectArray(faults.at("memory"), "faults.memory");
    for (std::size_t i = 0; i < faults.at("memory").size(); ++i) {
      const std::string what = "faults.memory[" + std::to_string(i) + "]";
      const json& entry = faults.at("memory")[i];
      ExpectObject(entry, what);
      board.FailMemory(board::Number(Member(entry, "base", what), what + ".base"),
                       board::Number(Member(entry, "size", what), what + ".size"));
    }
  }
  if (faults.contains("requests")) {
    ExpectArray(faults.at("requests"), "faults.requests");
    for (std::size_t i = 0; i < faults.at("requests").size(); ++i) {
      const std::string what = "faults.requests[" + std::to_string(i) + "]";
      const json& entry = faults.at("requests")[i];
      if (entry.is_object()) {
        CheckKeys(entry, what, {"code", "status", "count"});
        const auto count = entry.contains("count")
                               ? static_cast<std::int64_t>(board::Number(entry.at("count"), what + ".count", 1u << 30))
                               : -1;
        board.FailRequest(static_cast<std::uint32_t>(board::Number(Member(entry, "code", what), what + ".code", 0xFFFFFFFF)),
                          static_cast<std::uint32_t>(board::NumberOr(entry, "status", 0xC0000001, what, 0xFFFFFFFF)),
                          count);
      } else {
        board.FailRequest(static_cast<std::uint32_t>(board::Number(entry, what, 0xFFFFFFFF)));
      }
    }
  }
}

}  // namespace

namespace {
std::unique_ptr<TVirtualBoard> Build(const json& description, const fs::path& boardDir) {
  if (!description.is_object()) throw std::runtime_error("board: expected a JSON object");
  try {
    board::CheckNesting(description);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(std::string("board: ") + e.what());
  }
  std::size_t sectionCount = 0;
  const TBoardSection* sections = BoardSections(sectionCount);
  std::set<std::string> known = {"description", "ports", "pci", "memory", "cpu", "os", "faults"};
  for (std::size_t i = 0; i < sectionCount; ++i) known.insert(sections[i].Key);
  for (const auto& [key, value] : description.items()) {
    if (known.count(key) == 0) throw std::runtime_error("board: unknown section \"" + key + "\"");
  }
  auto board = std::make_unique<TVirtualBoard>();
  if (description.contains("description") && description.at("description").is_string()) {
    board->Description = description.at("description").get<std::string>();
  }
  if (description.contains("ports")) LoadPorts(*board, description.at("ports"));
  if (description.contains("pci")) LoadPci(*board, description.at("pci"), boardDir);
  if (description.contains("memory")) LoadMemory(*board, description.at("memory"), boardDir);
  if (description.contains("cpu")) LoadCpu(*board, description.at("cpu"));
  if (description.contains("os")) LoadOs(*board, description.at("os"));
  if (description.contains("faults")) LoadFaults(*board, description.at("faults"));
  for (std::size_t i = 0; i < sectionCount; ++i) {
    if (description.contains(sections[i].Key)) {
      sections[i].Parse(*board, description.at(sections[i].Key), boardDir);
    }
  }
  return board;
}
}  // namespace

std::unique_ptr<TVirtualBoard> TVirtualBoard::FromJson(const json& description,
                                                       const fs::path& boardDir) {
  try {
    return Build(description, boardDir);
  } catch (const json::exception& e) {
    // A field of the wrong JSON type deep inside a section.
    throw std::runtime_error(std::string("board: ") + e.what());
  }
}

std::unique_ptr<TVirtualBoard> TVirtualBoard::FromFile(const fs::path& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error("board file " + file.string() + ": cannot be opened");
  try {
    const json description = board::Parse(in);
    return FromJson(description, file.parent_path());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("board file " + file.string() + ": " + e.what());
  }
}
