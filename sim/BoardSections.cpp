#include "sim/BoardSections.h"

#include <iterator>

// One line per optional board-file section, `X("key", ParserFunction) \`, added above the
// last line. The parser is a function of type TBoardSectionParser defined in the section's
// own file pair beside this one (no header needed: the line declares it); the sections are
// applied in this order, after the core sections of the board file.
#define GAVRELO_BOARD_SECTIONS(X) \
  X("firmware", ParseFirmwareSection) \
  X("superio", ParseSuperIoSection) \
  X("chipset_gpio", ParseChipsetGpioSection) \
  /* end of the sections */

#define GAVRELO_DECLARE_SECTION(key, parser) \
  void parser(TVirtualBoard&, const nlohmann::json&, const std::filesystem::path&);
#define GAVRELO_SECTION_ROW(key, parser) {key, &parser},

GAVRELO_BOARD_SECTIONS(GAVRELO_DECLARE_SECTION)

namespace {
const TBoardSection kSections[] = {
    GAVRELO_BOARD_SECTIONS(GAVRELO_SECTION_ROW)  //
    {nullptr, nullptr},                          // end of the table
};
}  // namespace

const TBoardSection* BoardSections(std::size_t& count) {
  count = std::size(kSections) - 1;
  return kSections;
}
