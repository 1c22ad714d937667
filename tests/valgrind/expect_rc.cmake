# cmake -DRC=n -P expect_rc.cmake -- command...: runs the command and
# passes when it exits with status n.  The "--" keeps cmake from taking
# the command's options as its own.
set(cmd)
set(take OFF)
foreach(i RANGE ${CMAKE_ARGC})
  if(take AND DEFINED CMAKE_ARGV${i})
    list(APPEND cmd "${CMAKE_ARGV${i}}")
  elseif("${CMAKE_ARGV${i}}" STREQUAL "--")
    set(take ON)
  endif()
endforeach()
execute_process(COMMAND ${cmd} RESULT_VARIABLE rc)
if(NOT rc EQUAL RC)
  message(FATAL_ERROR "exit status ${rc}, expected ${RC}: ${cmd}")
endif()
