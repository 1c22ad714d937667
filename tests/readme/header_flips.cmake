# Flips each of the 96 bits of the header compress_field writes, one at a
# time, and runs decompress_field on each copy: the bits whose damage goes
# unnoticed (exit status 0) must be exactly UNNOTICED.  Variables: PROGRAM,
# DAMAGE, EMULATOR, SOURCE, UNNOTICED (separated by '|').
string(REPLACE "|" ";" UNNOTICED "${UNNOTICED}")
set(unnoticed "")
foreach(bit RANGE 95)
  execute_process(COMMAND ${EMULATOR} ${DAMAGE} ${SOURCE} flipped.kvr flip ${bit} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "damage flip ${bit} failed: ${rc}")
  endif()
  execute_process(COMMAND ${EMULATOR} ${PROGRAM} flipped.kvr RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    list(APPEND unnoticed ${bit})
  elseif(NOT rc EQUAL 1)
    message(FATAL_ERROR "bit ${bit}: exit status ${rc}")
  endif()
endforeach()
if(NOT unnoticed STREQUAL UNNOTICED)
  message(FATAL_ERROR "unnoticed header bits: ${unnoticed}, expected ${UNNOTICED}")
endif()
