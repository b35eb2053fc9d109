#pragma once
// Helpers for reading board-file values, shared by every board-file section parser.
//
// Numbers may be JSON numbers or strings ("0x2E", "46"); byte lists may be a string of
// hexadecimal bytes ("24 43 4E 31") or an array of numbers. Every helper throws
// std::runtime_error naming `what` (the field) when the value is malformed or out of range.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace board {

// Refuses an object holding a field outside `known` (a misspelt field would otherwise be
// ignored silently), or a value that is no object at all.
void CheckKeys(const nlohmann::json& object, const std::string& what,
               std::initializer_list<const char*> known);

// Deepest nesting of arrays and objects a board file may have. Real board files nest seven
// levels; printing or walking a value nested without bound would exhaust the stack.
inline constexpr int kMaxNesting = 64;

// Parses the text of a board file, refusing nesting beyond kMaxNesting while it parses.
// Throws std::runtime_error: "not valid JSON (line L, column C: ...)" or "arrays and
// objects nested deeper than 64 levels".
nlohmann::json Parse(std::istream& text);
nlohmann::json Parse(const std::uint8_t* text, std::size_t size);
// The same bound on a value built elsewhere (a test's or the fuzzer's JSON); iterative.
void CheckNesting(const nlohmann::json& value);

std::uint64_t Number(const nlohmann::json& value, const std::string& what,
                     std::uint64_t max = UINT64_MAX);
// The member `key` of `object` as a number, or `fallback` when absent.
std::uint64_t NumberOr(const nlohmann::json& object, const char* key, std::uint64_t fallback,
                       const std::string& what, std::uint64_t max = UINT64_MAX);
std::vector<std::uint8_t> Bytes(const nlohmann::json& value, const std::string& what);
// Packed PCI address bus << 8 | device << 3 | function from "BB:DD.F" (hex, as lspci
// prints it) or a number.
std::uint16_t Bdf(const nlohmann::json& value, const std::string& what);
// Reads a raw image named relative to the board file's directory (absolute names stay as
// they are). Images above 256 MiB are refused.
std::vector<std::uint8_t> ReadFile(const std::filesystem::path& boardDir, const std::string& name,
                                   const std::string& what);

}  // namespace board
