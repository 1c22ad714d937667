# Replays inputs with -digest and compares the line each prints with a table
# of the lines expected, one "<input> case ..." per row ('#' begins a
# comment).  The same table in every build shows that each input runs as the
# same case everywhere.  Variables:
#   PROGRAM, EMULATOR   the replay program and the emulator to run it under
#   CORPUS              the directory of the inputs
#   TABLE               the table
#   UPDATE              if true, rewrite the table's rows with the lines the
#                       program prints now instead of comparing, e.g.
#     cmake -DPROGRAM=build/release/fuzz/fuzz_roundtrip \
#           -DCORPUS=fuzz/corpus/roundtrip -DTABLE=fuzz/digest/roundtrip.txt \
#           -DUPDATE=1 -P fuzz/digest.cmake
file(STRINGS ${TABLE} rows)
set(kept "")
set(wrong "")
foreach(row IN LISTS rows)
  if(row MATCHES "^#")
    string(APPEND kept "${row}\n")
    continue()
  endif()
  if(NOT row MATCHES "^([^ ]+) (case .*)$")
    message(FATAL_ERROR "${TABLE}: malformed row '${row}'")
  endif()
  set(input ${CMAKE_MATCH_1})
  set(want "${CMAKE_MATCH_2}")
  execute_process(COMMAND ${EMULATOR} ${PROGRAM} -digest ${CORPUS}/${input}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "${input}: exit status ${rc}\n${out}${err}")
  endif()
  string(REGEX MATCHALL "case [^\n]*" got "${out}")
  list(LENGTH got lines)
  if(NOT lines EQUAL 1)
    message(FATAL_ERROR "${input}: ${lines} case lines, expected 1\n${out}")
  endif()
  string(APPEND kept "${input} ${got}\n")
  if(NOT got STREQUAL want)
    string(APPEND wrong "${input}:\n  expected ${want}\n  printed  ${got}\n")
  endif()
endforeach()
if(UPDATE)
  file(WRITE ${TABLE} "${kept}")
elseif(wrong)
  message(FATAL_ERROR "cases differ from ${TABLE}:\n${wrong}")
endif()
