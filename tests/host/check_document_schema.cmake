# cmake -DCOMMAND="program;args" -DOUTPUT=file.json -DSCHEMA=schema.json -DVALIDATOR=validate.py
#       [-DDEFINITION=name] -P check_document_schema.cmake
# Runs COMMAND, keeps its standard output in OUTPUT and validates that against
# SCHEMA with Debian's python3-jsonschema.
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE exit_code OUTPUT_FILE ${OUTPUT} ERROR_VARIABLE errors
                TIMEOUT 60)
if(NOT exit_code EQUAL 0)
  message(FATAL_ERROR "'${COMMAND}' exited with '${exit_code}'\n${errors}")
endif()
set(definition_arguments)
if(DEFINITION)
  set(definition_arguments --definition ${DEFINITION})
endif()
execute_process(COMMAND /usr/bin/python3 ${VALIDATOR} ${SCHEMA} ${OUTPUT} ${definition_arguments}
                RESULT_VARIABLE exit_code ERROR_VARIABLE errors TIMEOUT 60)
if(NOT exit_code EQUAL 0)
  message(FATAL_ERROR "${OUTPUT} does not match ${SCHEMA}:\n${errors}")
endif()
