#include "sim/BoardJson.h"

#include <cstdio>
#include <fstream>
#include <istream>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

namespace board {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& why) {
  throw std::runtime_error(what + ": " + why);
}

bool ParseUnsigned(const std::string& text, std::uint64_t& out) {
  std::size_t i = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  }
  if (i >= text.size()) return false;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    if (value > (UINT64_MAX - digit) / static_cast<unsigned>(base)) return false;
    value = value * static_cast<unsigned>(base) + digit;
  }
  out = value;
  return true;
}

// The parser reports each array and object with its depth: beyond the bound the parse stops
// before the value is built any deeper.
bool NestingBound(int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
  using Event = nlohmann::json::parse_event_t;
  if ((event == Event::object_start || event == Event::array_start) && depth >= kMaxNesting)
    throw std::runtime_error("arrays and objects nested deeper than " + std::to_string(kMaxNesting) +
                             " levels");
  return true;
}

// "[json.exception.parse_error.101] parse error at line 1, column 2: ..." without the tag
// (also a number too large for a double, "number overflow parsing '1e999'").
std::runtime_error NotJson(const nlohmann::json::exception& e) {
  std::string text = e.what();
  const std::size_t tag = text.find("] ");
  if (tag != std::string::npos) text.erase(0, tag + 2);
  return std::runtime_error("not valid JSON (" + text + ")");
}

}  // namespace

nlohmann::json Parse(std::istream& text) {
  try {
    return nlohmann::json::parse(text, NestingBound);
  } catch (const nlohmann::json::exception& e) {
    throw NotJson(e);
  }
}

nlohmann::json Parse(const std::uint8_t* text, std::size_t size) {
  try {
    return nlohmann::json::parse(text, text + size, NestingBound);
  } catch (const nlohmann::json::exception& e) {
    throw NotJson(e);
  }
}

void CheckNesting(const nlohmann::json& value) {
  std::vector<std::pair<const nlohmann::json*, int>> pending = {{&value, 1}};
  while (!pending.empty()) {
    const auto [item, depth] = pending.back();
    pending.pop_back();
    if (!item->is_structured()) continue;
    if (depth > kMaxNesting)
      throw std::runtime_error("arrays and objects nested deeper than " +
                               std::to_string(kMaxNesting) + " levels");
    for (const nlohmann::json& child : *item) pending.push_back({&child, depth + 1});
  }
}

std::uint64_t Number(const nlohmann::json& value, const std::string& what, std::uint64_t max) {
  std::uint64_t result = 0;
  if (value.is_number_unsigned()) {
    result = value.get<std::uint64_t>();
  } else if (value.is_number_integer()) {
    const auto v = value.get<std::int64_t>();
    if (v < 0) Fail(what, "negative number " + std::to_string(v));
    result = static_cast<std::uint64_t>(v);
  } else if (value.is_string()) {
    if (!ParseUnsigned(value.get<std::string>(), result)) {
      Fail(what, "not a number: \"" + value.get<std::string>() + "\"");
    }
  } else {
    // An array or object is named, not printed: its content may be large.
    Fail(what, std::string("expected a number, got ") +
                   (value.is_array() ? "an array" : value.is_object() ? "an object" : value.dump()));
  }
  if (result > max) Fail(what, "value " + std::to_string(result) + " above " + std::to_string(max));
  return result;
}

void CheckKeys(const nlohmann::json& object, const std::string& what,
               std::initializer_list<const char*> known) {
  if (!object.is_object()) throw std::runtime_error(what + ": expected an object");
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (const char* k : known) found = found || key == k;
    if (!found) throw std::runtime_error(what + ": unknown field \"" + key + "\"");
  }
}

std::uint64_t NumberOr(const nlohmann::json& object, const char* key, std::uint64_t fallback,
                       const std::string& what, std::uint64_t max) {
  if (!object.is_object() || !object.contains(key)) return fallback;
  return Number(object.at(key), what + "." + key, max);
}

std::vector<std::uint8_t> Bytes(const nlohmann::json& value, const std::string& what) {
  std::vector<std::uint8_t> bytes;
  if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) {
      bytes.push_back(static_cast<std::uint8_t>(
          Number(value[i], what + "[" + std::to_string(i) + "]", 0xFF)));
    }
    return bytes;
  }
  if (!value.is_string()) Fail(what, "expected a hex byte string or an array of bytes");
  const std::string text = value.get<std::string>();
  int pending = -1;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c == ' ' || c == ',' || c == '\n' || c == '\t') {
      if (pending >= 0) Fail(what, "odd number of hex digits in a byte");
      continue;
    } else {
      Fail(what, std::string("unexpected character '") + c + "' in hex bytes");
    }
    if (pending < 0) {
      pending = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(pending << 4 | digit));
      pending = -1;
    }
  }
  if (pending >= 0) Fail(what, "odd number of hex digits");
  return bytes;
}

std::uint16_t Bdf(const nlohmann::json& value, const std::string& what) {
  if (!value.is_string()) return static_cast<std::uint16_t>(Number(value, what, 0xFFFF));
  const std::string text = value.get<std::string>();
  unsigned bus = 0, device = 0, function = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%x:%x.%x%c", &bus, &device, &function, &tail) != 3 ||
      bus > 0xFF || device > 0x1F || function > 7) {
    Fail(what, "expected \"BB:DD.F\" (hex bus, device 0-1f, function 0-7), got \"" + text + "\"");
  }
  return static_cast<std::uint16_t>(bus << 8 | device << 3 | function);
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& boardDir, const std::string& name,
                                   const std::string& what) {
  constexpr std::uintmax_t kMaxImage = 256u << 20;
  const std::filesystem::path path = std::filesystem::path(name).is_absolute()
                                         ? std::filesystem::path(name)
                                         : boardDir / name;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) Fail(what, "cannot open image " + path.string() + ": " + ec.message());
  if (size > kMaxImage) Fail(what, "image " + path.string() + " is larger than 256 MiB");
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    Fail(what, "cannot read image " + path.string());
  }
  return bytes;
}

}  // namespace board
