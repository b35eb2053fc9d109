# cmake -DINPUT=FILE -DOUTPUT=FILE.cpp -DNAME=kSymbol -P EmbedText.cmake
# Writes a C++ source that defines `extern const char NAME[]`: the bytes of INPUT, then a NUL.
# The bytes are written as numbers, so no text of the file can end a string literal early.
file(READ "${INPUT}" content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
# A line break after every 16 bytes keeps the generated file readable.
string(REGEX REPLACE "((0x..,){16})" "\\1\n  " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
     "// Generated from ${INPUT} by cmake/EmbedText.cmake.\nextern const char ${NAME}[] = {\n  ${bytes}0x00};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
