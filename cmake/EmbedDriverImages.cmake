# cmake -DOUTPUT=file.cpp -DIMAGES=a.sys;b.sys -DNAMES=X64;Nt32 -P EmbedDriverImages.cmake
# Writes the driver images as byte arrays of their exact lengths, with the lookup that
# hwaccess/DriverImages.h declares.
set(text "// Generated from the built OrvDrv101.sys images; do not edit.\n#include \"hwaccess/DriverImages.h\"\n\nnamespace {\n")
set(cases "")
list(LENGTH IMAGES count)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  list(GET IMAGES ${i} image)
  list(GET NAMES ${i} name)
  file(READ ${image} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR length "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND text "const std::uint8_t k${name}[${length}] = {\n${bytes}};\n")
  string(APPEND cases "    case TRwDrvData::TKind::${name}: return {k${name}, ${length}};\n")
endforeach()
string(APPEND text "}  // namespace\n\nTDriverImage EmbeddedDriverImage(TRwDrvData::TKind kind) {\n  switch (kind) {\n${cases}    default: return {};\n  }\n}\n")
file(WRITE ${OUTPUT} "${text}")
