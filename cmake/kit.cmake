# The authoring kit (authoring/*.idt) embedded byte for byte into a generated header, for
# the programs that must carry exactly what authors import.
#   tidewell_kit_header(<header> <C++ namespace>)
file(GLOB TIDEWELL_KIT_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/authoring/*.idt)
function(tidewell_kit_header header namespace)
  add_custom_command(
    OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${header} -DKIT=${CMAKE_SOURCE_DIR}/authoring -DNAMESPACE=${namespace}
            -P ${CMAKE_SOURCE_DIR}/cmake/embed_kit.cmake
    DEPENDS ${TIDEWELL_KIT_FILES} ${CMAKE_SOURCE_DIR}/cmake/embed_kit.cmake
    COMMENT "Embedding the authoring kit")
endfunction()
