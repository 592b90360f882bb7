# TidewellCore: everything but the exports, shared by the DLL and the tests.
# Tidewell.dll: the exports (src/exports/*.cpp) over the core.
file(GLOB TIDEWELL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*/*.cpp)
file(GLOB TIDEWELL_EXPORT_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/exports/*.cpp)
list(REMOVE_ITEM TIDEWELL_SOURCES ${TIDEWELL_EXPORT_SOURCES})

add_library(TidewellCore STATIC ${TIDEWELL_SOURCES})
tidewell_warnings(TidewellCore)
target_include_directories(TidewellCore PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(TidewellCore PUBLIC msi_ordinal advapi32 shlwapi ole32 user32)

# The export list is put together from one file per feature (src/exports/*.exports),
# each name bound to its undecorated __stdcall symbol.
file(GLOB TIDEWELL_EXPORT_LISTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/exports/*.exports)
list(SORT TIDEWELL_EXPORT_LISTS)
set(TIDEWELL_DEF "LIBRARY Tidewell.dll\nEXPORTS\n")
set(TIDEWELL_EXPORT_NAMES "")
foreach(list_file ${TIDEWELL_EXPORT_LISTS})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  file(STRINGS ${list_file} names REGEX "^[A-Za-z]")
  foreach(name ${names})
    string(APPEND TIDEWELL_DEF "  ${name}=${name}@4\n")
    list(APPEND TIDEWELL_EXPORT_NAMES ${name})
  endforeach()
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/Tidewell.def.in "${TIDEWELL_DEF}")
configure_file(${CMAKE_BINARY_DIR}/Tidewell.def.in ${CMAKE_BINARY_DIR}/Tidewell.def COPYONLY)
list(SORT TIDEWELL_EXPORT_NAMES)
string(REPLACE ";" "\n" export_lines "${TIDEWELL_EXPORT_NAMES}")
file(WRITE ${CMAKE_BINARY_DIR}/exports.txt "${export_lines}\n")

add_library(Tidewell SHARED ${TIDEWELL_EXPORT_SOURCES} ${CMAKE_BINARY_DIR}/Tidewell.def)
tidewell_warnings(Tidewell)
set_target_properties(Tidewell PROPERTIES PREFIX "" OUTPUT_NAME Tidewell)
target_link_libraries(Tidewell PRIVATE TidewellCore)
target_link_options(Tidewell PRIVATE -s -Wl,--enable-stdcall-fixup)
add_custom_command(TARGET Tidewell POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E echo_append "Tidewell.dll size in bytes: "
  COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:Tidewell> -P ${CMAKE_SOURCE_DIR}/cmake/print_size.cmake
  VERBATIM)
