# cmake -DOUTPUT=FILE.cpp -DFILES="a.toml|b.toml" -P EmbedKindFiles.cmake
# Writes ShippedKindFiles() (devices/shipped_kinds.h) holding each file's
# bytes exactly, as a character array.
string(REPLACE "|" ";" FILES "${FILES}")
set(body "")
set(entries "")
set(index 0)
foreach(file ${FILES})
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  get_filename_component(name ${file} NAME)
  string(APPEND body "const char kFile${index}[] = {${bytes} 0};\n")
  string(APPEND entries "    {\"${name}\", {kFile${index}, ${size}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Generated from devices/kinds/*.toml by cmake/EmbedKindFiles.cmake.
#include \"devices/shipped_kinds.h\"

namespace comvorlix {
namespace {
${body}
const ShippedKindFile kFiles[] = {
${entries}};
}  // namespace

std::span<const ShippedKindFile> ShippedKindFiles() { return kFiles; }

}  // namespace comvorlix
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
