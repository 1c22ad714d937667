# Cross build for AArch64 with Clang, the compiler of the Android NDK,
# over the headers, C library and libstdc++ of Debian's GCC cross toolchain;
# static executables under qemu-user, as in aarch64-linux-gnu.cmake.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/aarch64-linux-gnu.cmake)
