# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads,
# so std::thread works). Used for Orvane itself and for the libraries that
# tools/build-windows.sh builds for wxMSW.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANE_MINGW_TRIPLET}-windres)

# The sysroot, and the wx prefix when the caller names it in the environment
# (the environment also reaches CMake's try_compile projects).
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_MINGW_TRIPLET})
if(DEFINED ENV{ORVANE_WX_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{ORVANE_WX_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Prefer static archives: the sysroot also ships libz.dll.a, and the program
# must need nothing but Windows' own DLLs.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
