# Cross build for 64-bit Windows with mingw-w64 (posix threads), run under Wine.
# Test programs and build-time tools for Windows run through CMAKE_CROSSCOMPILING_EMULATOR:
# Wine with a prefix inside the build tree, quiet.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)  # packages installed outside the sysroot too

set(VELDRO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for running Windows programs")
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${VELDRO_WINEPREFIX} WINEDEBUG=-all wine)
