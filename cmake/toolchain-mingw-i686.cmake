# 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686), posix thread model.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Doubles in SSE registers: CMakeLists.txt adds -msse2 -mfpmath=sse for every
# 32-bit x86 target, and runtime/fp_model.h stops a build without them.
# One .exe that needs no DLL beside it (C++ run-time and threads linked in).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")


# Tests run under Wine's 32-bit loader when wine32 is installed (its server
# comes with it); Debian's wine alone would try an experimental mode that
# starts nothing and reports success.
if(EXISTS /usr/lib/wine/wine AND EXISTS /usr/lib/wine/wineserver32)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
endif()
