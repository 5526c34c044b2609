// What the library advised the kernel about its mappings.
//
// The unit test executable is linked with -Wl,--wrap=madvise: the library's
// madvise calls, in its statically linked objects, go through the hook in
// memory_advice.cpp, which records them and passes them on. Read from the
// calls rather than from /proc/self/smaps, which an emulator makes up and a
// kernel may fill in for reasons of its own.
#pragma once

namespace memory_advice {

// Whether a call gave `advice` for a range that holds `address`.
bool advised(const void* address, int advice);

}  // namespace memory_advice
