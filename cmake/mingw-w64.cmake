# Cross-building for 64-bit Windows with Debian's mingw-w64 (POSIX threads, for std::thread and
# std::mutex), with Wine as the emulator that runs the test programs and build-time tools.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Executables carry their C and C++ runtimes, so they need no DLL beyond Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(VORLANTH_WINE NAMES wine wine64 REQUIRED)
# Wine keeps its own messages to itself, so that test listings and tool output stay clean.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all ${VORLANTH_WINE})

# Debian's mingw zlib has a static library beside its import library: take the static one.
set(ZLIB_LIBRARY /usr/${triple}/lib/libz.a CACHE FILEPATH "zlib for Windows")
