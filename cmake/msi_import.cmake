# msi.dll is imported by ordinal: an import library made from cmake/msi.def.
set(MSI_DEF ${CMAKE_BINARY_DIR}/msi.def)
tidewell_def_file(${CMAKE_SOURCE_DIR}/cmake/msi.def ${MSI_DEF})
set(MSI_ORDINAL_LIB ${CMAKE_BINARY_DIR}/libmsi_ordinal.a)
add_custom_command(
  OUTPUT ${MSI_ORDINAL_LIB}
  COMMAND ${CMAKE_DLLTOOL} --def ${MSI_DEF} --output-lib ${MSI_ORDINAL_LIB} --kill-at
  DEPENDS ${MSI_DEF}
  COMMENT "Import library for msi.dll by ordinal")
add_custom_target(msi_ordinal_lib DEPENDS ${MSI_ORDINAL_LIB})
add_library(msi_ordinal STATIC IMPORTED GLOBAL)
set_target_properties(msi_ordinal PROPERTIES IMPORTED_LOCATION ${MSI_ORDINAL_LIB})
add_dependencies(msi_ordinal msi_ordinal_lib)
