include(GNUInstallDirs)

# Warnings for the project's own code only (not for GoogleTest).
add_library(kvr_warnings INTERFACE)
target_compile_options(kvr_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wundef)
if(KVR_WERROR)
  target_compile_options(kvr_warnings INTERFACE -Werror)
endif()

include(CheckCXXCompilerFlag)
# Position-independent code lets GCC assume that any exported function may
# be replaced at load time, so it stops inlining a codec module's entry
# points into each other, which slowed decoding by a few percent.  No
# function of kvr is meant to be interposed.
check_cxx_compiler_flag(-fno-semantic-interposition KVR_HAVE_NO_INTERPOSITION)

# kvr_object(name src...): an object library of the library's own code,
# position-independent so that libkvr.a also links into shared objects (an
# app's native code is one); executables linked with it may still be static.
function(kvr_object name)
  add_library(${name} OBJECT ${ARGN})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  if(KVR_HAVE_NO_INTERPOSITION)
    target_compile_options(${name} PRIVATE -fno-semantic-interposition)
  endif()
  target_include_directories(${name} PRIVATE
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE kvr_warnings)
endfunction()
