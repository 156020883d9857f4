# Toolchain for cross-building the library, the tool and the tests for 64-bit Windows with the
# MinGW-w64 compilers of Debian (g++-mingw-w64-x86-64). Use with
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_PREFIX_PATH=DEPS ...
# where DEPS holds GoogleTest and the tool's libraries built for Windows (scripts/test-windows.sh
# makes it). The test programs run under Wine, when it is installed.
# SPDX-License-Identifier: MIT
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VEXLOR_DXF_MINGW x86_64-w64-mingw32)

# The "posix" thread model: GCC 12's "win32" model has no std::thread, which the tool and the
# tests use. Its programs need libwinpthread-1.dll beside libstdc++-6.dll.
# GoogleTest, built with this file too, needs the C compiler.
find_program(CMAKE_CXX_COMPILER NAMES ${VEXLOR_DXF_MINGW}-g++-posix REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${VEXLOR_DXF_MINGW}-gcc-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VEXLOR_DXF_MINGW}-windres)

# Libraries, headers and packages come from the MinGW-w64 tree and from the prefixes a build
# names in CMAKE_PREFIX_PATH (searched as roots of their own), never from the build machine's
# own /usr: those are Linux's.
set(CMAKE_FIND_ROOT_PATH /usr/${VEXLOR_DXF_MINGW} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine: ctest and GoogleTest's discovery start them through it.
find_program(VEXLOR_DXF_WINE NAMES wine wine64)
if(VEXLOR_DXF_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXLOR_DXF_WINE})
endif()
