include(GNUInstallDirs)

# Warnings for the project's own code only (not for GoogleTest).
add_library(kvr_warnings INTERFACE)
target_compile_options(kvr_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wundef)
if(KVR_WERROR)
  target_compile_options(kvr_warnings INTERFACE -Werror)
endif()

# kvr_object(name src...): an object library of the library's own code,
# position-independent so that libkvr.a also links into shared objects (an
# app's native code is one); executables linked with it may still be static.
function(kvr_object name)
  add_library(${name} OBJECT ${ARGN})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${name} PRIVATE
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE kvr_warnings)
endfunction()
