# cmake -DPROGRAM=... -DEMULATOR=... -DCASE=name [-DMODE=checked]
#       [-DTYPE=... -DTEXT=...] -P expect_abort.cmake
# Runs PROGRAM CASE (under EMULATOR when cross compiling).
#   By default the process must end by SIGABRT, which execute_process
#   reports as "Subprocess aborted" (natively, under qemu-user and under
#   the sanitizers alike), with nothing on standard output and the C++
#   runtime's report of the exception, of type TYPE and text TEXT, on
#   standard error.
#   MODE checked: the caller's checks refuse the call, the allowed one
#   returns: exit status 0 and "skipped", then "returned".
if(MODE STREQUAL "checked")
  execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${CASE} checked
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL "0" OR NOT out STREQUAL "skipped\nreturned\n")
    message(FATAL_ERROR "${CASE} checked: status ${rc}, output '${out}', expected 0 and 'skipped\\nreturned\\n'\n${err}")
  endif()
  return()
endif()

execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${CASE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc STREQUAL "Subprocess aborted")
  message(FATAL_ERROR "${CASE}: status '${rc}', expected 'Subprocess aborted'\noutput: ${out}\n${err}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "${CASE}: standard output is not empty: ${out}")
endif()
set(report "terminate called after throwing an instance of '${TYPE}'\n  what():  ${TEXT}\n")
string(FIND "${err}" "${report}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${CASE}: standard error lacks\n${report}it holds\n${err}")
endif()
