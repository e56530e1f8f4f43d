# Cross-builds the Windows programs with Debian's MinGW-w64 (g++-mingw-w64-x86-64) and runs them
# under Wine (wine64).
#
# The -posix compilers give std::thread and std::mutex; everything is linked statically, so the
# executables need no MinGW DLLs beside them, on Windows or in a Wine prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORVEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# At -O3 GCC 12 warns about its own std::string code (-Wrestrict, GCC bug 105329), which our
# warnings-as-errors would turn into a failed build.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the Release build")

# Debian's wine64 loader: /usr/bin/wine would look for the 32-bit Wine first and warn about it.
find_program(KORVEL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KORVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVEL_WINE})
endif()
