# What a program linked with libkvr.a needs besides it, carried by the kvr
# target into the build tree and the installed package alike.
#
# kvr is C++.  A program linked by the C++ compiler driver gets the C++
# runtime from the driver (CMake picks that driver whenever the program's
# project has CXX enabled).  A program linked by the C driver, such as one
# from a project with LANGUAGES C only, gets the C++ runtime from here: the
# libraries and directories the C++ driver that built kvr adds beyond those
# of the C driver, the same items CMake adds to a mixed-language link, and
# the libraries among the C++ standard libraries of the toolchain.  They
# come from the compiler that built libkvr.a, so they also hold for a cross
# build, and a program linked with -static gets the archives.
#
# KVR_CXX_RUNTIME replaces the libraries where the detected ones are wrong.
# CMake keeps the archive of libstdc++ when the driver links it under
# -Bstatic (-static-libstdc++) but only the name of other libraries, so a
# static libc++ (the NDK's c++_static) reads as -lc++: set c++_static;c++abi.

set(kvr_runtime ${CMAKE_CXX_IMPLICIT_LINK_LIBRARIES})
separate_arguments(kvr_standard NATIVE_COMMAND "${CMAKE_CXX_STANDARD_LIBRARIES}")
foreach(item IN LISTS kvr_standard)
  # Driver options such as -static-libstdc++ mean nothing to the C driver.
  if(item MATCHES "^-l" OR NOT item MATCHES "^-")
    list(APPEND kvr_runtime ${item})
  endif()
endforeach()
separate_arguments(kvr_standard NATIVE_COMMAND "${CMAKE_C_STANDARD_LIBRARIES}")
foreach(item IN LISTS CMAKE_C_IMPLICIT_LINK_LIBRARIES kvr_standard)
  list(REMOVE_ITEM kvr_runtime ${item})
endforeach()
list(REMOVE_DUPLICATES kvr_runtime)

set(KVR_CXX_RUNTIME "${kvr_runtime}" CACHE STRING
  "C++ runtime libraries of kvr for programs linked by the C compiler driver")

set(kvr_runtime_dirs ${CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES})
foreach(dir IN LISTS CMAKE_C_IMPLICIT_LINK_DIRECTORIES)
  list(REMOVE_ITEM kvr_runtime_dirs ${dir})
endforeach()

set(kvr_c_link "$<NOT:$<LINK_LANGUAGE:CXX>>")
if(KVR_CXX_RUNTIME)
  target_link_libraries(kvr INTERFACE "$<${kvr_c_link}:${KVR_CXX_RUNTIME}>")
endif()
if(kvr_runtime_dirs)
  target_link_directories(kvr INTERFACE "$<${kvr_c_link}:${kvr_runtime_dirs}>")
endif()

# A sanitized libkvr.a calls into the sanitizer runtimes.  Clang's C driver
# links them without their C++ parts unless asked.
if(KVR_SANITIZE)
  target_link_options(kvr INTERFACE -fsanitize=address,undefined
    "$<$<LINK_LANG_AND_ID:C,Clang,AppleClang>:-fsanitize-link-c++-runtime>")
endif()

unset(kvr_runtime)
unset(kvr_runtime_dirs)
unset(kvr_standard)
unset(kvr_c_link)
unset(item)
