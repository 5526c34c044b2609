// Reading our own memory on Windows without faulting: ReadProcessMemory on
// ourselves, and the next slot of a Win64 va_list.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "checked_read.h"

namespace standin_engine {

bool copy_checked(void* dst, const void* src, std::size_t n) {
    SIZE_T got = 0;
    return ReadProcessMemory(GetCurrentProcess(), src, dst, n, &got) && got == n;
}

bool next_slot_readable([[maybe_unused]] va_list* ap) {
#if defined(_WIN64)
    char slot[sizeof(void*)];  // every variadic argument is in a stack slot, *ap points at the next
    return copy_checked(slot, *ap, sizeof slot);
#else
    return true;
#endif
}

}  // namespace standin_engine
