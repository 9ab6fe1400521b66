# SPDX-License-Identifier: MIT
# Cross-building for 64-bit Windows with Debian's MinGW-w64, against the
# libraries tools/windows-libs.sh builds. Its prefix is given as
# -DPELLOVAR_WINDOWS_PREFIX=... or in the environment variable of that name.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix compilers: the win32-threads ones have no std::thread or
# std::mutex in GCC 12.
set(PELLOVAR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELLOVAR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELLOVAR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PELLOVAR_MINGW_TRIPLET}-windres)

if(NOT PELLOVAR_WINDOWS_PREFIX AND DEFINED ENV{PELLOVAR_WINDOWS_PREFIX})
  set(PELLOVAR_WINDOWS_PREFIX "$ENV{PELLOVAR_WINDOWS_PREFIX}")
endif()
# try_compile projects read this file again, without the cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PELLOVAR_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${PELLOVAR_WINDOWS_PREFIX} /usr/${PELLOVAR_MINGW_TRIPLET})
# Programs run here at build time; headers, libraries and packages are the
# target's only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must see the prefix's .pc files and never the build machine's.
# Every library there but cairo is static only, so their private
# dependencies are needed at link time too.
if(PELLOVAR_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${PELLOVAR_WINDOWS_PREFIX}/lib/pkgconfig")
endif()
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static)

# The C and C++ runtimes, libssp and winpthreads go inside each program, so
# that it needs no DLL but the system's and libcairo-2.dll. -static still
# links that DLL, because pkg_check_modules hands CMake the full path of its
# import library; a bare -lcairo would not be found.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Tests and build steps that run a Windows program run it under Wine.
find_program(PELLOVAR_WINE NAMES wine wine64)
if(PELLOVAR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PELLOVAR_WINE})
endif()
