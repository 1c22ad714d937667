# Checks one codec object module: exactly its three entry points are
# global definitions, it has no writable data, and it refers to no
# function outside the platform functions it is allowed.
#   cmake -DNM=... -DOBJDUMP=... -DOBJECT=... -DEXPECTED=a;b;c
#         -DALLOWED=f;g -P check_module.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var NM OBJDUMP OBJECT EXPECTED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_module: ${var} not set")
  endif()
endforeach()

function(run out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE rc
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed: ${err}")
  endif()
  string(REPLACE "\n" ";" lines "${text}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

set(failures "")

# Global definitions: exactly the entry points, all in text.
run(lines ${NM} -g --defined-only ${OBJECT})
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) (.+)$")
    set(type ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    list(APPEND found ${name})
    if(NOT name IN_LIST EXPECTED)
      string(APPEND failures "unexpected global symbol ${name} (${type})\n")
    elseif(NOT type STREQUAL "T")
      string(APPEND failures "entry point ${name} has type ${type}, not T\n")
    endif()
  endif()
endforeach()
foreach(name IN LISTS EXPECTED)
  if(NOT name IN_LIST found)
    string(APPEND failures "missing entry point ${name}\n")
  endif()
endforeach()

# Undefined references: only the allowed platform functions.
run(lines ${NM} -u ${OBJECT})
foreach(line IN LISTS lines)
  if(line MATCHES "^ *[A-Za-z] (.+)$")
    if(NOT CMAKE_MATCH_1 IN_LIST ALLOWED)
      string(APPEND failures "undefined reference to ${CMAKE_MATCH_1}\n")
    endif()
  endif()
endforeach()

# No writable data: no data or bss symbols, and empty data sections.
run(lines ${NM} ${OBJECT})
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *([BbDdGgSsCu]) (.+)$")
    string(APPEND failures "writable data symbol ${CMAKE_MATCH_2} (${CMAKE_MATCH_1})\n")
  endif()
endforeach()
run(lines ${OBJDUMP} -h ${OBJECT})
foreach(line IN LISTS lines)
  if(line MATCHES "^ *[0-9]+ +(\\.t?data[^ ]*|\\.t?bss[^ ]*) +([0-9a-fA-F]+) ")
    set(section ${CMAKE_MATCH_1})
    set(size ${CMAKE_MATCH_2})
    if(NOT size MATCHES "^0+$")
      string(APPEND failures "section ${section} has 0x${size} bytes\n")
    endif()
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${OBJECT}:\n${failures}")
endif()
message(STATUS "${OBJECT}: ok")
