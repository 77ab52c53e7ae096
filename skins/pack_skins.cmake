# Packs every file of STAGE into the zip ARCHIVE in name order, each with
# the same modification time, so a rebuild changes no entry's date.
file(GLOB names RELATIVE ${STAGE} ${STAGE}/*)
list(SORT names)
file(REMOVE ${ARCHIVE})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ARCHIVE} --format=zip "--mtime=2024-01-01 00:00:00 UTC" -- ${names}
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "packing ${ARCHIVE} failed: ${result}")
endif()
