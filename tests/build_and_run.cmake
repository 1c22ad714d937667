# build_and_run(build program args...), for script mode: configures an
# outside project with the cmake arguments `args`, builds it in `build` and
# runs its `program` there (under EMULATOR when set); the first step that
# fails stops the script.
function(build_and_run build program)
  execute_process(COMMAND ${CMAKE_COMMAND} ${ARGN} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "consumer configure failed: ${rc}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --parallel 2 RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "consumer build failed: ${rc}")
  endif()
  execute_process(COMMAND ${EMULATOR} ${build}/${program} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "consumer run failed: ${rc}")
  endif()
endfunction()
