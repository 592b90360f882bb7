# tidewell-add.exe: adds the library to an existing package. It carries the IDT files of
# authoring/ (embedded at build time), so the kit has one source.
file(GLOB KIT_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/authoring/*.idt)
set(KIT_HEADER ${CMAKE_BINARY_DIR}/generated/kit_files.h)
add_custom_command(
  OUTPUT ${KIT_HEADER}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${KIT_HEADER} -DKIT=${CMAKE_SOURCE_DIR}/authoring
          -P ${CMAKE_SOURCE_DIR}/tools/add-to-package/embed_kit.cmake
  DEPENDS ${KIT_FILES} ${CMAKE_SOURCE_DIR}/tools/add-to-package/embed_kit.cmake
  COMMENT "Embedding the authoring kit")

file(GLOB ADD_TO_PACKAGE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/add-to-package/*.cpp)
add_executable(tidewell_add ${ADD_TO_PACKAGE_SOURCES} ${CMAKE_SOURCE_DIR}/src/common/text.cpp ${KIT_HEADER})
tidewell_warnings(tidewell_add)
set_target_properties(tidewell_add PROPERTIES OUTPUT_NAME tidewell-add)
target_include_directories(tidewell_add PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_link_options(tidewell_add PRIVATE -municode)
target_link_libraries(tidewell_add PRIVATE msi)
add_dependencies(tidewell_add Tidewell)
