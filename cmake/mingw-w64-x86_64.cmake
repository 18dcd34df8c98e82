# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
#   cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Executables link the GCC and C++ runtimes and winpthread statically, so that they import
# only system DLLs; tests run under Wine through scripts/wine-run.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VS_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VS_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VS_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot (and from explicit paths such as the
# win-deps prefix); build tools such as nasm come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest (and CMake's try_run) start Windows programs through the Wine wrapper.
get_filename_component(VS_REPO_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${VS_REPO_DIR}/scripts/wine-run")
