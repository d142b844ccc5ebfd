# Toolchain of the Windows build (make windows): Debian's MinGW-w64 for 64-bit Windows with
# POSIX threads (std::thread, std::jthread and std::stop_token need them).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(tavlo_mingw x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER ${tavlo_mingw}-g++-posix)
set(CMAKE_C_COMPILER ${tavlo_mingw}-gcc-posix)
set(CMAKE_RC_COMPILER ${tavlo_mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${tavlo_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The MinGW run-time (libstdc++, libgcc, winpthread) linked in, so the programs run on a bare
# Windows without its DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
