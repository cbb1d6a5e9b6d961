# Cross build for 64-bit Windows with the MinGW-w64 (POSIX threads) compiler.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libjpeg-turbo and libcurl cross-built by scripts/setup.sh.
if(DEFINED ENV{WEMLOX_DEPS} AND NOT "$ENV{WEMLOX_DEPS}" STREQUAL "")
  set(WEMLOX_DEPS_DIR "$ENV{WEMLOX_DEPS}")
else()
  set(WEMLOX_DEPS_DIR /var/cache/wemlox-deps/current)
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${WEMLOX_DEPS_DIR})
