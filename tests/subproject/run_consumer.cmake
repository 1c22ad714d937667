# Script mode: configure the outside project afresh, build it and run its
# program.
set(args --fresh -S ${SOURCE} -B ${BUILD} -DKVR_SOURCE=${KVR_SOURCE} -DKVR_SANITIZE=${SANITIZE})
if(TOOLCHAIN)
  list(APPEND args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
endif()
include(${CMAKE_CURRENT_LIST_DIR}/../build_and_run.cmake)
build_and_run(${BUILD} ${PROGRAM} ${args})
