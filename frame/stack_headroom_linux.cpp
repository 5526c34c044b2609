#include "frame/stack_headroom_linux.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include "frame/guard_linux.h"

namespace jweb::guard_detail {

namespace {

// The thread's page and its state, in one word of static TLS, which the
// fault handler may read: 0 not yet looked for, `none`, or the page's
// address with `open_bit` when it is open and `guard_region_bit` when the
// kernel guards it without a mapping of its own.
constexpr std::uintptr_t none = 1;
constexpr std::uintptr_t open_bit = 2;
constexpr std::uintptr_t guard_region_bit = 4;
constexpr std::uintptr_t state_bits = open_bit | guard_region_bit;
// Linux 6.13 and later: a page that faults on any access, marked in the page
// tables, which splits no mapping (a protected page splits the thread's stack
// mapping in three, and every thread that calls would cost the process two
// more of its vm.max_map_count mappings).
constexpr int madv_guard_install = 102;
constexpr int madv_guard_remove = 103;
constinit thread_local std::uintptr_t headroom_page __attribute__((tls_model("initial-exec"))) = 0;

pthread_once_t key_once = PTHREAD_ONCE_INIT;
pthread_key_t page_owner;
bool page_owner_made = false;
std::size_t page_size = 0;

// Closes the page: true when done, with the way it was done in `state`.
bool close_page(std::uintptr_t page, std::uintptr_t& state) {
    void* address = reinterpret_cast<void*>(page);
    if (madvise(address, page_size, madv_guard_install) == 0) {
        state = guard_region_bit;
        return true;
    }
    state = 0;
    return mprotect(address, page_size, PROT_NONE) == 0;
}

// Opens it again, the way it was closed. Safe in a signal handler.
bool open_page(std::uintptr_t word) {
    void* address = reinterpret_cast<void*>(word & ~state_bits);
    if (word & guard_region_bit) return madvise(address, page_size, madv_guard_remove) == 0;
    return mprotect(address, page_size, PROT_READ | PROT_WRITE) == 0;
}

void open_at_thread_end(void* word) { open_page(reinterpret_cast<std::uintptr_t>(word)); }

void make_key() {
    page_size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    page_owner_made = pthread_key_create(&page_owner, open_at_thread_end) == 0;
}

std::uintptr_t find_page() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return none;
    void* low = nullptr;
    std::size_t size = 0;
    const bool found = pthread_attr_getstack(&attributes, &low, &size) == 0;
    pthread_attr_destroy(&attributes);
    // Only where the engine keeps three quarters of the stack at least.
    if (!found || size < 4 * headroom_bytes) return none;
    const std::uintptr_t page = (reinterpret_cast<std::uintptr_t>(low) + headroom_bytes) & ~(page_size - 1);
    // Never at or below the caller's own frame.
    volatile char here = 0;
    if (page + page_size >= reinterpret_cast<std::uintptr_t>(&here)) return none;
    return page;
}

}  // namespace

void close_stack_headroom() {
    pthread_once(&key_once, make_key);
    const std::uintptr_t word = headroom_page;
    if (!page_owner_made || word == none || (word != 0 && !(word & open_bit))) return;
    const std::uintptr_t page = word == 0 ? find_page() : word & ~state_bits;
    std::uintptr_t state = 0;
    if (page == none || !close_page(page, state)) {
        headroom_page = none;
        return;
    }
    if (pthread_setspecific(page_owner, reinterpret_cast<void*>(page | state)) != 0) {
        open_page(page | state);
        headroom_page = none;
        return;
    }
    headroom_page = page | state;
}

bool near_stack_headroom(std::uintptr_t sp, std::uintptr_t bytes) {
    const std::uintptr_t word = headroom_page;
    if (word == 0 || word == none || (word & open_bit)) return false;
    const std::uintptr_t page = word & ~state_bits;
    return sp >= page && sp - page < bytes;
}

bool open_stack_headroom(std::uintptr_t address) {
    const std::uintptr_t word = headroom_page;
    if (word == 0 || word == none || (word & open_bit) || address - (word & ~state_bits) >= page_size) return false;
    if (!open_page(word)) return false;
    headroom_page = word | open_bit;
    thread_prepared = false;
    return true;
}

}  // namespace jweb::guard_detail
