# Checks the built library's shape: PE32, exactly the 18 exports of the catalogue
# (undecorated, and the same as the build's export lists),
# only Windows system DLLs imported, and msi.dll imported by ordinal alone.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
if(NOT dump MATCHES "file format pei-i386")
  message(FATAL_ERROR "not a PE32 (i386) image")
endif()

# Exports.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" table "${dump}")
string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" entries "${table}")
set(actual "")
foreach(entry ${entries})
  string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" name "${entry}")
  list(APPEND actual ${name})
endforeach()
list(SORT actual)
# The library's catalogue: the 18 actions a package can bind. Fixed here rather than
# taken from the build's lists, so that a lost or stray export list fails the check.
set(catalogue
  OnPromptUserBasicUI
  OnVuBackupCleanup OnVuBackupDeferred OnVuBackupImmediate OnVuBackupRollback
  OnVuMoveFilesDeferred OnVuMoveFilesImmediate OnVuMoveFilesRollback
  OnVuRemoveFilesCommit OnVuRemoveFilesImmediate OnVuRemoveFilesPermanent OnVuRemoveFilesUndoable
  OnVuRemoveRegs OnVuRemoveRegsImmediate
  OnVuRestoreDeferred OnVuRestoreImmediate OnVuRestoreRollback
  OnVuUndoRemoveFiles)
list(LENGTH catalogue catalogue_size)
if(NOT catalogue_size EQUAL 18)
  message(FATAL_ERROR "the catalogue lists ${catalogue_size} names, not 18")
endif()
list(SORT catalogue)
if(NOT actual STREQUAL catalogue)
  message(FATAL_ERROR "exports differ from the catalogue\n  built:     ${actual}\n  catalogue: ${catalogue}")
endif()
file(STRINGS ${EXPORTS} expected)
list(SORT expected)
if(NOT expected STREQUAL catalogue)
  message(FATAL_ERROR "the export lists (src/exports/*.exports) differ from the catalogue\n  lists:     ${expected}\n  catalogue: ${catalogue}")
endif()
foreach(name ${actual})
  if(name MATCHES "@")
    message(FATAL_ERROR "decorated export ${name}")
  endif()
endforeach()

# Imports.
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
set(allowed kernel32.dll msvcrt.dll advapi32.dll shlwapi.dll ole32.dll user32.dll msi.dll)
foreach(line ${dlls})
  string(SUBSTRING "${line}" 10 -1 dll)
  string(TOLOWER "${dll}" dll)
  list(FIND allowed ${dll} found)
  if(found EQUAL -1)
    message(FATAL_ERROR "imports ${dll}, which is not a Windows system DLL the library may use")
  endif()
endforeach()
string(REGEX MATCH "DLL Name: msi.dll\n[^\n]*\n(\t[^\n]+\n)+" msi "${dump}")
if(msi STREQUAL "")
  message(FATAL_ERROR "no msi.dll imports found")
endif()
string(REGEX MATCHALL "\n\t[0-9a-f]+\t[^\n]+" msi_entries "${msi}")
list(LENGTH msi_entries count)
foreach(entry ${msi_entries})
  if(NOT entry MATCHES "<none>")
    message(FATAL_ERROR "msi.dll function imported by name: ${entry}")
  endif()
endforeach()
message(STATUS "PE32, ${count} msi.dll imports by ordinal, exports: ${actual}")
