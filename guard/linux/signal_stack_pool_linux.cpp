#include "guard/linux/signal_stack_pool_linux.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>

namespace jweb::guard_detail {

namespace {

// Room for our handler and for the Java runtime's handler, which runs on this
// stack too for the faults we pass on (its crash report included). Pages that
// are never touched cost address space only.
constexpr std::size_t signal_stack_size = 256 * 1024;
// Stacks are reserved this many at a time, in one mapping: a mapping per
// thread would double the process's count of mappings (vm.max_map_count).
// No guard page between them: each would split the mapping in two. Our
// handler takes a few hundred bytes of its stack and the runtime's, which
// passes its faults on or writes its crash report, stays well within the
// size; the block's lowest page alone is a guard page, so that the bottom
// stack cannot run into a foreign mapping.
constexpr std::size_t stacks_per_block = 64;
// A block is reserved while this many stacks are still free, by the thread
// that takes one: a thread's first call when no mapping can be made (an
// address-space limit, vm.max_map_count reached) still finds a stack.
constexpr std::size_t spare_stacks = 16;

// A free stack keeps the link to the next at its top, which any use of the
// stack touches first anyway.
struct FreeStack {
    FreeStack* next;
};

pthread_mutex_t pool_mutex = PTHREAD_MUTEX_INITIALIZER;
FreeStack* free_stacks = nullptr;
std::size_t free_count = 0;
std::size_t page_size = 0;    // set once at install
std::size_t stack_bytes = 0;  // set once at install
// Each thread's stack from the pool, given back by the key's destructor.
pthread_key_t stack_owner;
bool stack_owner_made = false;

FreeStack* link_of(void* stack) {
    return reinterpret_cast<FreeStack*>(static_cast<char*>(stack) + stack_bytes - sizeof(FreeStack));
}
void* stack_of(FreeStack* link) { return reinterpret_cast<char*>(link) + sizeof(FreeStack) - stack_bytes; }

void push_locked(void* stack) {
    FreeStack* link = link_of(stack);
    link->next = free_stacks;
    free_stacks = link;
    ++free_count;
}

void reserve_block_locked() {
    const std::size_t length = page_size + stacks_per_block * stack_bytes;
    void* mapping =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED) return;
    // Where transparent huge pages are always on (RHEL 8 and 9), each stack,
    // of which a handler touches a few pages, would otherwise be backed by
    // 2 MB ones. Refused where there are none: no harm.
    madvise(mapping, length, MADV_NOHUGEPAGE);
    if (mprotect(mapping, page_size, PROT_NONE) != 0) {
        munmap(mapping, length);
        return;
    }
    char* first = static_cast<char*>(mapping) + page_size;
    for (std::size_t i = stacks_per_block; i-- > 0;) push_locked(first + i * stack_bytes);
}

void* take_stack() {
    pthread_mutex_lock(&pool_mutex);
    if (free_count <= spare_stacks) reserve_block_locked();  // ahead of need; failing now is no harm yet
    void* stack = nullptr;
    if (free_stacks != nullptr) {
        FreeStack* link = free_stacks;
        free_stacks = link->next;
        --free_count;
        stack = stack_of(link);
    }
    pthread_mutex_unlock(&pool_mutex);
    return stack;
}

void give_back(void* stack) {
    pthread_mutex_lock(&pool_mutex);
    push_locked(stack);
    pthread_mutex_unlock(&pool_mutex);
}

// At the thread's end: the stack is taken out of use before it goes back, so
// a signal during the rest of the exit runs on the thread's own stack.
void return_thread_stack(void* stack) {
    signal_stack_from_pool = false;
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_sp == stack) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        if (sigaltstack(&off, nullptr) != 0) return;  // still in use somehow: never hand it out again
    }
    give_back(stack);
}

}  // namespace

void make_signal_stack_pool() {
    page_size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const long minimum = sysconf(_SC_MINSIGSTKSZ);  // grows with the processor's register state
    const std::size_t size = std::max(signal_stack_size, minimum > 0 ? 4 * static_cast<std::size_t>(minimum) : 0);
    stack_bytes = (size + page_size - 1) / page_size * page_size;
    stack_owner_made = pthread_key_create(&stack_owner, return_thread_stack) == 0;
    // A fork while another thread holds the lock would leave it held for
    // good in the child, whose next new thread would wait for ever.
    pthread_atfork([] { pthread_mutex_lock(&pool_mutex); }, [] { pthread_mutex_unlock(&pool_mutex); },
                   [] { pthread_mutex_unlock(&pool_mutex); });
    pthread_mutex_lock(&pool_mutex);
    reserve_block_locked();
    pthread_mutex_unlock(&pool_mutex);
}

bool give_thread_signal_stack() {
    stack_t current;
    if (sigaltstack(nullptr, &current) != 0) return true;
    if (void* owned = stack_owner_made ? pthread_getspecific(stack_owner) : nullptr) {
        // Ours already, and in place unless a handler that the fault
        // handler ran off it jumped away (see fault_handler_linux.cpp).
        if (current.ss_sp == owned && current.ss_size == stack_bytes && !(current.ss_flags & SS_DISABLE)) return true;
        stack_t whole{};
        whole.ss_sp = owned;
        whole.ss_size = stack_bytes;
        signal_stack_from_pool = sigaltstack(&whole, nullptr) == 0;
        return signal_stack_from_pool;
    }
    if (!(current.ss_flags & SS_DISABLE)) return true;  // one of its own serves
    void* stack = take_stack();
    if (stack == nullptr) return false;
    stack_t ours{};
    ours.ss_sp = stack;
    ours.ss_size = stack_bytes;
    if (sigaltstack(&ours, nullptr) != 0) {
        give_back(stack);
        return false;
    }
    // Without the key the stack stays the thread's after its end: lost, not reused.
    if (stack_owner_made) pthread_setspecific(stack_owner, stack);
    signal_stack_from_pool = true;
    return true;
}

bool has_pool_signal_stack() { return signal_stack_from_pool; }

}  // namespace jweb::guard_detail
