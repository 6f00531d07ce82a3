# Cross-compiles the same sources as 64-bit Windows programs, for running the
# tests under 64-bit Wine on machines that cannot run 32-bit Linux programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Floating point in x87 registers, as the 32-bit build computes it, so that
# both builds round alike.
set(CMAKE_C_FLAGS_INIT "-mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-mfpmath=387")
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
