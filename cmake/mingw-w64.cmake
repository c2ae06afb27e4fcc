# Cross-builds the Qt-free core and its tests as 64-bit Windows programs with
# Debian's mingw-w64 compilers, and lets ctest run them through Wine.
#
#   cmake -S . -B build/windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKV_BUILD_GUI=OFF
#
# The -posix compilers are the ones whose C++ library has std::thread and
# std::mutex, which GoogleTest needs. Everything is linked statically so a
# test program runs under Wine without hunting for the compiler's DLLs.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KV_MINGW_TRIPLE x86_64-w64-mingw32)

find_program(KV_MINGW_CXX NAMES ${KV_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(KV_MINGW_CC NAMES ${KV_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(KV_MINGW_RC NAMES ${KV_MINGW_TRIPLE}-windres REQUIRED)
set(CMAKE_CXX_COMPILER ${KV_MINGW_CXX})
set(CMAKE_C_COMPILER ${KV_MINGW_CC})
set(CMAKE_RC_COMPILER ${KV_MINGW_RC})

# Look for headers and libraries in the target's tree only, for programs on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static also pulls in the winpthread library statically, which -static-libgcc
# and -static-libstdc++ alone would leave as a DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The wine wrapper picks the right loader and sets it up; Debian keeps the bare
# 64-bit loader in /usr/lib/wine, which also runs our programs.
find_program(KV_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(KV_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KV_WINE})
endif()
