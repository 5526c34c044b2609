# What both Windows cross builds share, after the toolchain file has set
# CMAKE_SYSTEM_PROCESSOR and mingw_prefix: Debian's mingw-w64 compilers of the
# posix thread model (std::thread and std::mutex need it), host programs
# (javac, java, cmake) from the build machine, headers and libraries from the
# mingw sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_ASM_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in statically, so each DLL and program imports only
# system DLLs (KERNEL32, msvcrt; ADVAPI32 with the stack protector) and runs
# from its own folder.
# --no-insert-timestamp: each PE header's time stamp is 0, not the link's
# time, so that the same sources give the same DLL (docs/releasing.md).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

# ctest runs the Windows programs through Wine (tools/run-windows-tests.sh
# installs it); the wrapper gives each build its own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
