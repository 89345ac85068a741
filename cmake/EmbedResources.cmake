# Writes <SYMBOL>.cpp and <SYMBOL>.h in OUT_DIR: the bytes of the .res file RES
# as an array, and the function that returns them. Run by qtr_add_resources.
file(READ ${RES} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keeps the generated source readable in a debugger.
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUT_DIR}/${SYMBOL}.h
"// Generated from ${RES} by cmake/EmbedResources.cmake.
#pragma once

#include <span>

std::span<const unsigned char> ${SYMBOL}();
")
file(WRITE ${OUT_DIR}/${SYMBOL}.cpp
"// Generated from ${RES} by cmake/EmbedResources.cmake.
#include \"${SYMBOL}.h\"

namespace {

// A .res file is read as DWORDs; keep the copy aligned like one.
alignas(4) const unsigned char kBytes[] = {
    ${bytes}
};

}  // namespace

std::span<const unsigned char> ${SYMBOL}() { return kBytes; }
")
