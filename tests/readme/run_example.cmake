# Runs one of the README's example programs and checks what it prints.
# Variables:
#   PROGRAM, EMULATOR  the program and the emulator to run it under
#   ARGS               its arguments, separated by '|'
#   RC                 expected exit status
#   OUT, ERR           standard output and standard error, exactly (one
#                      line each, without the newline, ';' sent as '|';
#                      absent: empty)
#   DAMAGE, SOURCE, DAMAGE_ARGS
#                      when set, first runs DAMAGE SOURCE <first argument>
#                      DAMAGE_ARGS (separated by '|') to make the input
string(REPLACE "|" ";" ARGS "${ARGS}")
if(DAMAGE)
  string(REPLACE "|" ";" DAMAGE_ARGS "${DAMAGE_ARGS}")
  list(GET ARGS 0 target)
  execute_process(COMMAND ${EMULATOR} ${DAMAGE} ${SOURCE} ${target} ${DAMAGE_ARGS} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "damage ${DAMAGE_ARGS} failed: ${rc}")
  endif()
endif()
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
foreach(v OUT ERR)
  if(DEFINED ${v})
    string(REPLACE "|" ";" text "${${v}}")
    set(want_${v} "${text}\n")
  else()
    set(want_${v} "")
  endif()
endforeach()
if(NOT rc STREQUAL RC)
  message(FATAL_ERROR "exit status ${rc}, expected ${RC}\n${out}${err}")
endif()
if(NOT out STREQUAL want_OUT)
  message(FATAL_ERROR "standard output '${out}', expected '${want_OUT}'")
endif()
if(NOT err STREQUAL want_ERR)
  message(FATAL_ERROR "standard error '${err}', expected '${want_ERR}'")
endif()
