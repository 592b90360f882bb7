# Writes the authoring kit's IDT files into a C++ header, byte for byte, so that a
# program carries the very files that authoring/ ships.
#   cmake -DOUTPUT=<header> -DKIT=<authoring folder> -DNAMESPACE=<namespace> -P embed_kit.cmake
file(GLOB files RELATIVE ${KIT} ${KIT}/*.idt)
list(SORT files)
set(text "// Generated from authoring/*.idt by cmake/embed_kit.cmake.\n#pragma once\n\nnamespace ${NAMESPACE} {\n\nstruct KitFile {\n    const char* name;\n    const unsigned char* bytes;\n    unsigned size;\n};\n\n")
set(index 0)
set(table "")
foreach(name ${files})
  file(READ ${KIT}/${name} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND text "inline constexpr unsigned char kKitFile${index}[] = {${bytes}};\n")
  string(APPEND table "    {\"${name}\", kKitFile${index}, sizeof kKitFile${index}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND text "\ninline constexpr KitFile kKitFiles[] = {\n${table}};\n\n}  // namespace ${NAMESPACE}\n")
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
