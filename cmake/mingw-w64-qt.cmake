# The window and its Qt Test programs as 64-bit Windows programs, against the Qt
# that scripts/windows-qt cross-builds (scripts/test-windows and
# scripts/package-windows use it; scripts/windows-qt builds that Qt with it too).
#
#   cmake -S . -B build/windows-qt -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-qt.cmake \
#         -DKV_QT_MINGW=$HOME/.cache/keystead-vault/qt-mingw-6.4.2
#
# Same compilers as cmake/mingw-w64.cmake, with two differences:
# - Qt's DLLs use the compiler's runtime DLLs (libstdc++, libgcc, winpthread),
#   so the programs use them too: one C++ runtime in the process, not two.
# - Qt for the target is found in KV_QT_MINGW, its tools (moc, rcc, uic) on the
#   host, in Debian's Qt of the same version.

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

set(CMAKE_EXE_LINKER_FLAGS_INIT "")

# Checks the compiler runs in a project of its own: hand the folder on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KV_QT_MINGW)

if(KV_QT_MINGW)
    # A folder already under a root is searched as it is, not re-rooted.
    list(APPEND CMAKE_FIND_ROOT_PATH ${KV_QT_MINGW})
    list(APPEND CMAKE_PREFIX_PATH ${KV_QT_MINGW})
    set(QT_HOST_PATH /usr CACHE PATH "Where the host's Qt tools are")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "The host Qt's CMake packages")
endif()
