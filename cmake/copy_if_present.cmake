# Copies FROM into the folder TO when FROM exists; says so when it does not.
#   cmake -DFROM=<file> -DTO=<folder> -P copy_if_present.cmake
if(EXISTS ${FROM})
  file(COPY ${FROM} DESTINATION ${TO})
else()
  message(STATUS "${FROM} is not built: not copied")
endif()
