# Cross build for 32-bit Windows (x86) with Debian's mingw-w64, beside the
# x86-64 one and linked the same way. Hosts whose engine is a 32-bit DLL need
# this one: a process holds modules of one kind. Static linking also means a
# g++ exception cannot pass from one DLL into another here (each carries its
# own DWARF unwinder registry); see docs/engine-failures.md.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(mingw_prefix i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
