# Cross build for 32-bit Windows (x86) with Debian's mingw-w64, beside the
# x86-64 one (mingw-w64-x86_64.cmake) and linked the same way. Hosts whose
# engine is a 32-bit DLL need this one: a process holds modules of one kind.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(mingw_prefix i686-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_ASM_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static, as the 64-bit build: KERNEL32 and msvcrt are all each DLL imports.
# That also means a g++ exception cannot pass from one DLL into another
# here (each carries its own DWARF unwinder registry); see the README.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Wine's 32-bit loader, in a 32-bit prefix of this build's own (wine-run.sh
# reads both from the environment ctest gives each test).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
set(JWEB_WINE_ENVIRONMENT WINE=/usr/lib/wine/wine WINEARCH=win32)
