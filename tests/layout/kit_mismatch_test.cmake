# Runs the library check on copies of the kit's CustomAction.idt that no longer match the
# DLL, and expects each to fail with the export it names.
#   cmake -DCHECK=<check_library.cmake> -DKIT=<CustomAction.idt> -DWORK=<folder>
#         -DDLL=... -DOBJDUMP=... -DEXPORTS=... -P kit_mismatch_test.cmake
file(READ ${KIT} kit)
file(MAKE_DIRECTORY ${WORK})

function(expect_failure name text says)
  set(copy ${WORK}/${name}.idt)
  file(WRITE ${copy} "${text}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DDLL=${DLL} -DARCH=${ARCH} -DOBJDUMP=${OBJDUMP} -DEXPORTS=${EXPORTS} -DKIT=${copy} -P ${CHECK}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0)
    message(FATAL_ERROR "${name}: the check passed on a kit that does not match the DLL")
  endif()
  # CMake wraps long messages: compare with the white space folded.
  string(REGEX REPLACE "[ \n]+" " " said "${out}${err}")
  string(FIND "${said}" "${says}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${name}: the check failed without saying '${says}':\n${out}${err}")
  endif()
  message(STATUS "${name}: failed as it should, naming the export")
endfunction()

# A Target spelt wrong: the action would bind to nothing.
string(REPLACE "\tOnVuMoveFilesDeferred" "\tOnVuMoveFileDeferred" misspelled "${kit}")
if(misspelled STREQUAL kit)
  message(FATAL_ERROR "the kit has no OnVuMoveFilesDeferred row to misspell")
endif()
expect_failure(misspelled "${misspelled}" "lacks: OnVuMoveFileDeferred")

# A row left out: the export is bound by no action of the kit.
string(REGEX REPLACE "VU_BackupCleanup\t[^\n]*\n" "" missing "${kit}")
if(missing STREQUAL kit)
  message(FATAL_ERROR "the kit has no VU_BackupCleanup row to leave out")
endif()
expect_failure(missing "${missing}" "binds: OnVuBackupCleanup")
