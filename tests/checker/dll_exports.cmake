# Fails unless the DLL ${LIBRARY} exports RunMMx and nothing else.
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${headers}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" names "${table}")
string(REGEX REPLACE "\\[ *[0-9]+\\] " "" names "${names}")
if(NOT names STREQUAL "RunMMx")
  message(FATAL_ERROR "${LIBRARY} exports: ${names}")
endif()
