# Script mode: install, configure and build the consumer, then run it.
file(REMOVE_RECURSE ${PREFIX} ${CONSUMER_BUILD})

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
foreach(f include/kvr/kvr.h lib/libkvr.a lib/cmake/kvr/kvrConfig.cmake)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

set(args -S ${SOURCE} -B ${CONSUMER_BUILD} -DCMAKE_PREFIX_PATH=${PREFIX})
if(TOOLCHAIN)
  # A cross toolchain re-roots package searches under its sysroot, so the
  # package directory is named directly.
  list(APPEND args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -Dkvr_DIR=${PREFIX}/lib/cmake/kvr)
else()
  list(APPEND args -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
endif()
if(DYNAMIC)
  # Drops a toolchain's -static.
  list(APPEND args -DCMAKE_EXE_LINKER_FLAGS=)
  if(EMULATOR AND SYSROOT)
    list(APPEND EMULATOR -L ${SYSROOT})
  endif()
endif()
if(SANITIZE)
  list(APPEND args "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined"
                   "-DCMAKE_C_FLAGS=-fsanitize=address,undefined")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/../build_and_run.cmake)
build_and_run(${CONSUMER_BUILD} ${PROGRAM} ${args})
