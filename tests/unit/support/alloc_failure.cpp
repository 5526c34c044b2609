#include "tests/unit/support/alloc_failure.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

#if defined(_WIN32)
#include <windows.h>
#endif

// The real allocator, as bound by --wrap (under ASan: its interceptors).
extern "C" void* __real_malloc(std::size_t size);
extern "C" void __real_free(void* block);

namespace {

std::atomic<bool> g_fail_malloc{false};
std::atomic<bool> g_fail_nothrow_new{false};
std::atomic<std::uint64_t> g_malloc_calls{0};

// The blocks the hook handed out and not yet seen freed, with their place in
// the malloc sequence. Never destroyed: mallocs and frees go on during exit.
struct Ledger {
    std::mutex mutex;
    std::unordered_map<void*, std::uint64_t> live;
};

Ledger& ledger() {
    static Ledger* const instance = new Ledger;
    return *instance;
}

// Set while the hook itself allocates (the ledger uses operator new, which
// would come back here if libstdc++ were linked statically): such mallocs
// are passed through untouched.
#if defined(_WIN32)
// mingw emulates thread_local with malloc, which would come straight back
// here; a Win32 TLS slot allocates nothing. The slot is taken on first use.
DWORD hook_slot() {
    static std::atomic<DWORD> slot{TLS_OUT_OF_INDEXES};
    DWORD current = slot.load();
    if (current != TLS_OUT_OF_INDEXES) return current;
    const DWORD fresh = TlsAlloc();
    if (slot.compare_exchange_strong(current, fresh)) return fresh;
    TlsFree(fresh);
    return current;
}
bool in_hook() { return TlsGetValue(hook_slot()) != nullptr; }
void set_in_hook(bool on) { TlsSetValue(hook_slot(), on ? reinterpret_cast<void*>(1) : nullptr); }
#else
thread_local bool t_in_hook = false;
bool in_hook() { return t_in_hook; }
void set_in_hook(bool on) { t_in_hook = on; }
#endif

}  // namespace

extern "C" __attribute__((visibility("default"))) void* __wrap_malloc(std::size_t size) {
    if (in_hook()) return __real_malloc(size);
    const std::uint64_t sequence = g_malloc_calls.fetch_add(1);
    if (g_fail_malloc.exchange(false)) return nullptr;
    void* block = __real_malloc(size);
    if (block != nullptr) {
        set_in_hook(true);
        {
            Ledger& l = ledger();
            std::lock_guard<std::mutex> lock(l.mutex);
            l.live[block] = sequence;
        }
        set_in_hook(false);
    }
    return block;
}

extern "C" __attribute__((visibility("default"))) void __wrap_free(void* block) {
    if (block != nullptr && !in_hook()) {
        set_in_hook(true);
        {
            Ledger& l = ledger();
            std::lock_guard<std::mutex> lock(l.mutex);
            l.live.erase(block);
        }
        set_in_hook(false);
    }
    __real_free(block);
}

// Replacements of the global nothrow allocation functions (allowed by the
// language); they allocate through the throwing forms, so the matching
// deallocation functions stay the standard ones.
__attribute__((visibility("default"))) void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_fail_nothrow_new.exchange(false)) return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

__attribute__((visibility("default"))) void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (g_fail_nothrow_new.exchange(false)) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace allocfail {

void fail_next_malloc() { g_fail_malloc.store(true); }

bool malloc_failure_armed() { return g_fail_malloc.load(); }

void fail_next_nothrow_new() { g_fail_nothrow_new.store(true); }

bool nothrow_new_failure_armed() { return g_fail_nothrow_new.load(); }

void disarm() {
    g_fail_malloc.store(false);
    g_fail_nothrow_new.store(false);
}

std::uint64_t malloc_calls() { return g_malloc_calls.load(); }

Mark mark() { return g_malloc_calls.load(); }

std::size_t outstanding_since(Mark m) {
    Ledger& l = ledger();
    std::lock_guard<std::mutex> lock(l.mutex);
    std::size_t count = 0;
    for (const auto& [block, sequence] : l.live) {
        if (sequence >= m) ++count;
    }
    return count;
}

}  // namespace allocfail
