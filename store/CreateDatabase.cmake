# Creates the notes database from schema.sql with isql-fb (embedded, a plain local path) and
# brings it to the current schema version with zw-schema.
# Variables: ISQL, SCHEMA, UPGRADE, OUT. The file is built under a temporary name and moved into place.
foreach(var ISQL SCHEMA UPGRADE OUT)
  if(NOT ${var})
    message(FATAL_ERROR "CreateDatabase.cmake: ${var} not set")
  endif()
endforeach()

set(tmp "${OUT}.tmp")
set(script "${OUT}.tmp.sql")
file(REMOVE "${tmp}" "${script}")
file(READ "${SCHEMA}" schema)
file(WRITE "${script}"
  "SET SQL DIALECT 3;\n"
  "CREATE DATABASE '${tmp}' USER 'sysdba' PASSWORD 'lanternix' PAGE_SIZE 4096 DEFAULT CHARACTER SET UTF8;\n"
  "${schema}\n")
execute_process(COMMAND "${ISQL}" -q -bail -i "${script}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE "${script}")
if(NOT rc EQUAL 0 OR NOT EXISTS "${tmp}")
  file(REMOVE "${tmp}")
  message(FATAL_ERROR "isql-fb failed (${rc}) creating the notes database:\n${out}${err}")
endif()
execute_process(COMMAND "${UPGRADE}" "${tmp}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  file(REMOVE "${tmp}")
  message(FATAL_ERROR "zw-schema failed (${rc}) on the notes database:\n${out}${err}")
endif()
file(RENAME "${tmp}" "${OUT}")
