# Runs tepora with ARGS (a ;-list) and checks what it prints.  Variables:
#   TEPORA, EMULATOR   the program and the emulator to run it under
#   CAP_MB             address space of the run, in MiB (ulimit -v)
#   ASAN_REFUSES       AddressSanitizer refuses allocations: its warning
#                      line for each is not part of tepora's output
#   ARGS               the arguments, separated by '|'
#   RC                 expected exit status
#   GOLDEN             file whose contents standard error must equal
#   LINES              number of lines on standard error
#   FIRST, LAST        first line and last progress line
#   RESULT             the last line, exactly
#   RESULT_REGEX       or a pattern it must match
string(REPLACE "|" ";" ARGS "${ARGS}")
set(cap)
if(CAP_MB)
  math(EXPR kib "${CAP_MB} * 1024")
  set(cap sh -c "ulimit -v ${kib} && exec \"$@\"" sh)
endif()
execute_process(COMMAND ${cap} ${EMULATOR} ${TEPORA} ${ARGS}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc STREQUAL RC)
  message(FATAL_ERROR "exit status ${rc}, expected ${RC}\n${err}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "standard output is not empty: ${out}")
endif()
if(ASAN_REFUSES)
  string(REGEX REPLACE "==[0-9]+==WARNING: AddressSanitizer failed to allocate 0x[0-9a-f]+ bytes\n" ""
         err "${err}")
endif()
if(GOLDEN)
  file(READ ${GOLDEN} want)
  if(NOT err STREQUAL want)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/tepora-actual.txt "${err}")
    message(FATAL_ERROR "standard error differs from ${GOLDEN}; actual output in tepora-actual.txt")
  endif()
endif()
string(REGEX REPLACE "\n$" "" body "${err}")
string(REPLACE "\n" ";" lines "${body}")
list(LENGTH lines n)
if(DEFINED LINES AND NOT n EQUAL LINES)
  message(FATAL_ERROR "${n} lines, expected ${LINES}")
endif()
list(GET lines -1 last)
if(DEFINED RESULT AND NOT last STREQUAL RESULT)
  message(FATAL_ERROR "result line '${last}', expected '${RESULT}'")
endif()
if(DEFINED RESULT_REGEX AND NOT last MATCHES "${RESULT_REGEX}")
  message(FATAL_ERROR "result line '${last}' does not match '${RESULT_REGEX}'")
endif()
if(DEFINED FIRST)
  list(GET lines 0 first)
  if(NOT first STREQUAL FIRST)
    message(FATAL_ERROR "first line '${first}', expected '${FIRST}'")
  endif()
endif()
if(DEFINED LAST)
  list(GET lines -2 progress)
  if(NOT progress STREQUAL LAST)
    message(FATAL_ERROR "last progress line '${progress}', expected '${LAST}'")
  endif()
endif()
