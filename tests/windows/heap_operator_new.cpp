// libstdc++ is linked statically here, so its operator new calls the very
// malloc that the unit tests' hooks wrap (-Wl,--wrap=malloc), and every C++
// allocation would count as the library's. Taking operator new's memory from
// the Win32 heap leaves the hooks the library's own malloc and free, as on
// Linux, where the wrap does not reach into the shared libstdc++.
#include <windows.h>

#include <new>

void* operator new(std::size_t size) {
    if (void* block = HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
