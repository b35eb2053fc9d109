#pragma once
// The board file's optional sections beyond the core ones (ports, pci, memory, cpu): each
// subsystem that simulates hardware of its own registers one parser here, by the key of
// its section ("superio", "firmware", "chipset_gpio", ...). BoardSections.cpp holds the
// table; adding a section is one line there and one file pair beside it.

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

class TVirtualBoard;

// Builds what the section describes onto the board. `boardDir` is the directory of the
// board file, against which relative file names are resolved. Throws std::runtime_error
// with a message naming the offending field on bad input.
using TBoardSectionParser = void (*)(TVirtualBoard& board, const nlohmann::json& section,
                                     const std::filesystem::path& boardDir);

struct TBoardSection {
  const char* Key;
  TBoardSectionParser Parse;
};

// The table, in the order the sections are applied.
const TBoardSection* BoardSections(std::size_t& count);
