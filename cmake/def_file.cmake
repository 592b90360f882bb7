# Module-definition files are written once, with the 32-bit __stdcall decorations
# ("Name@4"). The 64-bit build has one calling convention and no decorations, so there the
# decorations are dropped; ordinals (" @8") stay.
#   tidewell_def_file(<input .def> <output .def>)
function(tidewell_def_file input output)
  file(READ ${input} text)
  if(TIDEWELL_ARCH STREQUAL "x64")
    string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" text "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
  file(WRITE ${output}.in "${text}")
  configure_file(${output}.in ${output} COPYONLY)
endfunction()
