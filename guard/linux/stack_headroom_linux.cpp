#include "guard/linux/stack_headroom_linux.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include "guard/linux/guard_linux.h"
#include "guard/linux/safe_read.h"

namespace jweb::guard_detail {

namespace {

// The page moves down a step each time code other than the engine's opens
// it, so that the engine, should it go on recursing once that handler has
// returned, still stops above the stack's end: first `headroom_bytes` above
// the lowest usable address, then a step lower, and so on, the last a step
// above it. After the last the thread has no headroom until its next call.
constexpr std::size_t step_bytes = 32 * 1024;
constexpr std::uintptr_t levels = headroom_bytes / step_bytes;

// The thread's headroom in one word of static TLS, which the fault handler
// may read: 0 not yet looked for, `none`, or the first page's address with
// the level of the page now in place, `open_bit` once the last is open, and
// `guard_region_bit` when the kernel guards the pages without mappings of
// their own.
constexpr std::uintptr_t none = 1;
constexpr std::uintptr_t open_bit = 2;
constexpr std::uintptr_t guard_region_bit = 4;
constexpr std::uintptr_t level_shift = 3;
constexpr std::uintptr_t level_bits = 3 << level_shift;
constexpr std::uintptr_t state_bits = open_bit | guard_region_bit | level_bits;
static_assert(levels <= 4, "the level fits its two bits");
// Linux 6.13 and later: a page that faults on any access, marked in the page
// tables, which splits no mapping (a protected page splits the thread's stack
// mapping in three, and every thread that calls would cost the process two
// more of its vm.max_map_count mappings).
constexpr int madv_guard_install = 102;
constexpr int madv_guard_remove = 103;

constinit thread_local std::uintptr_t headroom __attribute__((tls_model("initial-exec"))) = 0;

pthread_once_t key_once = PTHREAD_ONCE_INIT;
pthread_key_t headroom_owner;
bool headroom_owner_made = false;
std::size_t page_size = 0;

std::uintptr_t first_page(std::uintptr_t word) { return word & ~state_bits & ~(page_size - 1); }
std::uintptr_t level_of(std::uintptr_t word) { return (word & level_bits) >> level_shift; }
std::uintptr_t page_of(std::uintptr_t word) { return first_page(word) - level_of(word) * step_bytes; }
bool closed(std::uintptr_t word) { return word != 0 && word != none && !(word & open_bit); }

// Closes `page` as `word` says; on the first page, chooses how and says so in
// `word`. Safe in a signal handler but for that first choice.
bool close_page(std::uintptr_t page, std::uintptr_t& word) {
    void* address = reinterpret_cast<void*>(page);
    if (word & guard_region_bit) return madvise(address, page_size, madv_guard_install) == 0;
    if (word == first_page(word) && madvise(address, page_size, madv_guard_install) == 0) {
        // Taken at its word only once the page cannot be read: an emulator
        // may accept advice it does not act on (qemu's user mode does).
        char byte = 0;
        if (!platform::safe_read(&byte, page, 1)) {
            word |= guard_region_bit;
            return true;
        }
        madvise(address, page_size, madv_guard_remove);
    }
    return mprotect(address, page_size, PROT_NONE) == 0;
}

// Opens `page`, closed as `word` says. Safe in a signal handler.
bool open_page(std::uintptr_t page, std::uintptr_t word) {
    void* address = reinterpret_cast<void*>(page);
    if (word & guard_region_bit) return madvise(address, page_size, madv_guard_remove) == 0;
    return mprotect(address, page_size, PROT_READ | PROT_WRITE) == 0;
}

// At the thread's end every page is opened, whichever is in place: its stack
// may be reused by a thread that never calls.
void open_at_thread_end(void* value) {
    const auto word = reinterpret_cast<std::uintptr_t>(value);
    for (std::uintptr_t level = 0; level < levels; ++level) open_page(first_page(word) - level * step_bytes, word);
}

void make_key() {
    page_size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    headroom_owner_made = pthread_key_create(&headroom_owner, open_at_thread_end) == 0;
}

std::uintptr_t find_first_page() {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return none;
    void* low = nullptr;
    std::size_t size = 0;
    const bool found = pthread_attr_getstack(&attributes, &low, &size) == 0;
    pthread_attr_destroy(&attributes);
    // Only where the engine keeps three quarters of the stack at least.
    if (!found || size < 4 * headroom_bytes || page_size > step_bytes) return none;
    const std::uintptr_t page = (reinterpret_cast<std::uintptr_t>(low) + headroom_bytes) & ~(page_size - 1);
    // Never at or below the caller's own frame.
    volatile char here = 0;
    if (page + page_size >= reinterpret_cast<std::uintptr_t>(&here)) return none;
    return page;
}

}  // namespace

void close_stack_headroom() {
    pthread_once(&key_once, make_key);
    const std::uintptr_t word = headroom;
    if (!headroom_owner_made || word == none || (closed(word) && level_of(word) == 0)) return;
    if (closed(word)) open_page(page_of(word), word);  // a lower one, in place of the first
    std::uintptr_t first = word == 0 ? find_first_page() : first_page(word) | (word & guard_region_bit);
    if (first == none || !close_page(first_page(first), first)) {
        headroom = none;
        return;
    }
    if (word == 0 && pthread_setspecific(headroom_owner, reinterpret_cast<void*>(first)) != 0) {
        open_page(first_page(first), first);
        headroom = none;
        return;
    }
    headroom = first;
}

bool open_stack_headroom(std::uintptr_t address) {
    const std::uintptr_t word = headroom;
    if (!closed(word)) return false;
    const std::uintptr_t page = page_of(word);
    if (address - page >= page_size || !open_page(page, word)) return false;
    const std::uintptr_t next_level = level_of(word) + 1;
    std::uintptr_t next = (word & ~level_bits) | (next_level << level_shift);
    if (next_level == levels || !close_page(page_of(next), next)) next = word | open_bit;
    headroom = next;
    thread_prepared = false;
    return true;
}

void open_stack_headroom_below(std::uintptr_t sp, std::uintptr_t bytes) {
    const std::uintptr_t word = headroom;
    if (!closed(word)) return;
    const std::uintptr_t page = page_of(word);
    if (sp >= page && sp - page < bytes) open_stack_headroom(page);
}

}  // namespace jweb::guard_detail
