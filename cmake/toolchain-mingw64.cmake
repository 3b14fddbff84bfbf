# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads compilers, whose C++ library
# has std::thread and std::mutex). Everything is linked statically, so the .exe files need no DLL beside
# them: only the system's own (kernel32, wininet, ...).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELTRIMA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELTRIMA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELTRIMA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KELTRIMA_MINGW_TRIPLET}-windres)

# Headers and libraries of the target only from the MinGW tree; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KELTRIMA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# What runs the .exe files on this machine (test discovery, try_run).
find_program(KELTRIMA_WINE NAMES wine wine64)
if(KELTRIMA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KELTRIMA_WINE})
endif()

# -O2 as in the build for this machine: GCC 12 at -O3 reports a false -Wrestrict in std::string's insert.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the C compiler in a Release build")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the C++ compiler in a Release build")
