#include "frame/guard_linux.h"

#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace jweb {

namespace guard_detail {
constinit thread_local ArmedGuard* volatile armed_guard __attribute__((tls_model("initial-exec"))) = nullptr;
constinit thread_local bool thread_prepared __attribute__((tls_model("initial-exec"))) = false;
}  // namespace guard_detail

namespace {

// ---- the pool of alternate signal stacks ----

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
std::size_t page_size = 0;   // set once at install
std::size_t stack_bytes = 0;  // set once at install
// Each thread's stack from the pool, given back by the key's destructor.
pthread_key_t stack_owner;
bool stack_owner_made = false;

FreeStack* link_of(void* stack) {
    return reinterpret_cast<FreeStack*>(static_cast<char*>(stack) + stack_bytes - sizeof(FreeStack));
}
void* stack_of(FreeStack* link) {
    return reinterpret_cast<char*>(link) + sizeof(FreeStack) - stack_bytes;
}

void push_locked(void* stack) {
    FreeStack* link = link_of(stack);
    link->next = free_stacks;
    free_stacks = link;
    ++free_count;
}

void reserve_block_locked() {
    const std::size_t length = page_size + stacks_per_block * stack_bytes;
    void* mapping = mmap(nullptr, length, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
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
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_sp == stack) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        if (sigaltstack(&off, nullptr) != 0) return;  // still in use somehow: never hand it out again
    }
    give_back(stack);
}

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

// ---- the signal mask a caught failure puts back ----

// The thread's mask as its first guarded call found it, one bit per signal
// (signal n is bit n - 1): foreign code may block signals and then fail, and
// the Java runtime relies on the signals it left unblocked (SIGFPE for a
// division by zero, SIGUSR2 and SIGPROF for its samplers). Eight bytes, so
// that it stays in the static TLS block a signal handler may read.
static_assert(NSIG - 1 <= 64, "a bit for every signal");
constinit thread_local std::uint64_t call_mask __attribute__((tls_model("initial-exec"))) = 0;

void keep_call_mask() {
    sigset_t now;
    if (pthread_sigmask(SIG_SETMASK, nullptr, &now) != 0) return;
    std::uint64_t bits = 0;
    for (int signal = 1; signal < NSIG; ++signal)
        if (sigismember(&now, signal) == 1) bits |= std::uint64_t{1} << (signal - 1);
    call_mask = bits;
}

// Safe in a signal handler, as sigemptyset, sigaddset and pthread_sigmask are.
void put_back_call_mask() {
    sigset_t kept;
    sigemptyset(&kept);
    const std::uint64_t bits = call_mask;
    for (int signal = 1; signal < NSIG; ++signal)
        if ((bits >> (signal - 1)) & 1) sigaddset(&kept, signal);
    pthread_sigmask(SIG_SETMASK, &kept, nullptr);
}

// The fault handlers and the first signal stacks, at the first guarded call
// in the process: by then the Java runtime, however late it was created, has
// installed its own handlers (installed at load, before a runtime created
// later, ours would be taken for a host's and kept or replaced by it).
pthread_once_t install_once = PTHREAD_ONCE_INIT;
void install_process_wide();

}  // namespace

namespace guard_detail {

void prepare_thread() noexcept {
    pthread_once(&install_once, install_process_wide);
    keep_call_mask();
    stack_t current;
    if (sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE)) {
        thread_prepared = true;  // one of the thread's own serves
        return;
    }
    void* stack = take_stack();
    if (stack == nullptr) return;  // none to be had now: the next call tries again
    stack_t ours{};
    ours.ss_sp = stack;
    ours.ss_size = stack_bytes;
    if (sigaltstack(&ours, nullptr) != 0) {
        give_back(stack);
        return;
    }
    // Without the key the stack stays the thread's after its end: lost, not reused.
    if (stack_owner_made) pthread_setspecific(stack_owner, stack);
    thread_prepared = true;
}

void restore_call_mask() noexcept { put_back_call_mask(); }

}  // namespace guard_detail

// Below the stack pointer nothing is a variable of this program: the reads are
// not an address sanitizer's business.
[[gnu::noinline, gnu::no_sanitize("address")]] void probe_stack(std::size_t bytes) noexcept {
    constexpr std::size_t step = 4096;  // the smallest page: no guard page is skipped
    volatile char here = 0;
    const auto top = reinterpret_cast<std::uintptr_t>(&here);
    for (std::size_t depth = step; depth < bytes + step; depth += step)
        static_cast<void>(*reinterpret_cast<const volatile char*>(top - depth));
}

namespace {

// ---- the fault handlers ----

constexpr std::array<int, 4> fault_signals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

// The actions in place before ours: the Java runtime's handlers, or what a
// signal-chaining library reports instead (possibly SIG_DFL or SIG_IGN).
struct sigaction previous_actions[NSIG];

struct AddressRange {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;  // past the end
    bool contains(std::uintptr_t address) const { return address >= low && address < high; }
};

// The Java runtime's own library, from its lowest to its highest segment:
// faults raised in its code are its business, on any thread. Empty in a
// process without one.
AddressRange runtime_code;
// Set once a forwarded signal met a previous action with SA_RESETHAND: the
// kernel would have reset it to SIG_DFL on that first delivery.
std::atomic<bool> previous_reset[NSIG];

// Where HotSpot keeps the bounds of its code cache, which holds all the code
// it generates (interpreter, stubs, compiled methods): the addresses of
// CodeCache::_low_bound and _high_bound, found in the structure tables it
// publishes to debuggers and profilers. Null when the runtime is not
// HotSpot, or has no such table.
const std::uintptr_t* code_cache_low = nullptr;
const std::uintptr_t* code_cache_high = nullptr;

// glibc's _dl_find_object (2.35 and later), looked up at run time so the
// library loads on older ones; null there. Safe in a signal handler. Only
// whether an address lies in a loaded object is asked: the result goes to a
// buffer larger than any glibc's struct dl_find_object.
using FindObject = int (*)(void* address, void* result);
FindObject find_object = nullptr;

void on_fault(int signal, siginfo_t* info, void* context);

bool is_handler_function(const struct sigaction& action) {
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN && action.sa_sigaction != on_fault;
}

const void* faulting_instruction(const ucontext_t* context) {
#if defined(__x86_64__)
    return reinterpret_cast<const void*>(context->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return reinterpret_cast<const void*>(context->uc_mcontext.pc);
#elif defined(__i386__)
    return reinterpret_cast<const void*>(context->uc_mcontext.gregs[REG_EIP]);
#else
#error "the faulting instruction's address of this processor"
#endif
}

// Whether code the Java runtime generated is where the fault is: its code
// cache when it publishes it. Otherwise code in no loaded object is taken for
// the runtime's (or a host's JIT), which leaves the faults of an engine's own
// generated code to that handler; and where even that cannot be told (glibc
// before 2.35), no code is, so that faults outside the runtime's library are
// the guard's.
bool in_runtimes_generated_code(std::uintptr_t instruction) {
    if (code_cache_low != nullptr) {
        const std::uintptr_t low = *code_cache_low;
        const std::uintptr_t high = *code_cache_high;
        if (low < high) return instruction >= low && instruction < high;
    }
    if (find_object == nullptr) return false;
    alignas(16) unsigned char found[256];
    return find_object(reinterpret_cast<void*>(instruction), found) != 0;
}

// Whether the Java runtime raised this fault in its own code, as it does by
// design for null checks, safepoint polls and stack banging, also in Java
// code that foreign code calls back on a guarded thread: its own library, or
// the code it generated. The previous handler gets it, which is the
// runtime's or chains to it. Whose that handler is says nothing: an engine's
// crash reporter, installed when the engine was loaded, chains to the
// runtime's too. A fault of an instruction fetched from where nothing may
// run is never the runtime's: a jump to a wild address, as after a stack
// overrun. Only plain loads here: safe in a signal handler.
bool raised_in_runtimes_code(int signal, const siginfo_t* info, const ucontext_t* context) {
    if (!is_handler_function(previous_actions[signal]) || previous_reset[signal].load(std::memory_order_relaxed))
        return false;
    const auto instruction = reinterpret_cast<std::uintptr_t>(faulting_instruction(context));
    if (runtime_code.contains(instruction)) return true;
    const bool wild_jump = (signal == SIGSEGV || signal == SIGBUS) &&
                           reinterpret_cast<std::uintptr_t>(info->si_addr) == instruction;
    return !wild_jump && in_runtimes_generated_code(instruction);
}

// What the kernel does with a fault whose disposition is SIG_DFL, or SIG_IGN
// (which a fault overrides): the default action, which for these signals
// ends the process. Returning re-runs the faulting instruction, which then
// meets the default action.
void fault_as_if_unhandled(int signal) {
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigaction(signal, &default_action, nullptr);
}

void forward_to_previous(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = previous_actions[signal];
    // si_code <= 0: sent with kill, raise or sigqueue, not raised by the processor.
    const bool sent = info->si_code <= 0;
    const bool reset = previous_reset[signal].load(std::memory_order_relaxed);
    if (reset || previous.sa_handler == SIG_DFL || !is_handler_function(previous)) {
        const bool ignored = !reset && previous.sa_handler == SIG_IGN;
        if (sent && ignored) return;  // and ours stays in place for the guard
        fault_as_if_unhandled(signal);
        if (sent) raise(signal);  // delivered, by default action, once this handler returns
        return;
    }
    if (previous.sa_flags & SA_RESETHAND) previous_reset[signal].store(true, std::memory_order_relaxed);
    if (previous.sa_flags & SA_NODEFER) {
        // The previous handler expects the signal not to be blocked while it runs.
        sigset_t this_signal;
        sigemptyset(&this_signal);
        sigaddset(&this_signal, signal);
        pthread_sigmask(SIG_UNBLOCK, &this_signal, nullptr);
    }
    if (previous.sa_flags & SA_SIGINFO)
        previous.sa_sigaction(signal, info, context);
    else
        previous.sa_handler(signal);
}

void on_fault(int signal, siginfo_t* info, void* context) {
    guard_detail::ArmedGuard* guard = guard_detail::armed_guard;
    auto* interrupted = static_cast<ucontext_t*>(context);
    // si_code > 0: raised by the processor, not sent with kill or raise.
    if (guard != nullptr && info->si_code > 0 && !raised_in_runtimes_code(signal, info, interrupted)) {
        guard_detail::armed_guard = guard->outer;
        // The jump restores no mask (none was saved): the one the thread's
        // first call found, not the interrupted context's, which is what the
        // foreign code made it. It unblocks this signal too.
        put_back_call_mask();
        siglongjmp(guard->resume, 1);
    }
    forward_to_previous(signal, info, context);
}

// The span of the loaded object that holds `address`, from its lowest to its
// highest loadable segment; empty when none does. Not in a signal handler.
AddressRange object_span(std::uintptr_t address) {
    struct Search {
        std::uintptr_t address;
        AddressRange found;
    } search{address, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* object, std::size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            AddressRange span{UINTPTR_MAX, 0};
            for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = object->dlpi_phdr[i];
                if (segment.p_type != PT_LOAD) continue;
                const std::uintptr_t low = object->dlpi_addr + segment.p_vaddr;
                span.low = std::min(span.low, low);
                span.high = std::max(span.high, low + segment.p_memsz);
            }
            if (!span.contains(s->address)) return 0;
            s->found = span;
            return 1;
        },
        &search);
    return search.found;
}

// A field of one entry of HotSpot's structure table, at the offset the
// runtime exports for it.
template <class T>
T entry_field(const char* entry, std::uint64_t offset) {
    T value;
    std::memcpy(&value, entry + offset, sizeof value);
    return value;
}

// Finds CodeCache::_low_bound and _high_bound in the runtime's structure
// table (gHotSpotVMStructs, laid out as the gHotSpotVMStructEntry* symbols
// say), as debuggers and profilers do.
void find_code_cache(void* runtime) {
    const auto symbol = [runtime](const char* name) { return dlsym(runtime, name); };
    const auto* table = static_cast<const char* const*>(symbol("gHotSpotVMStructs"));
    const auto* type_offset = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryTypeNameOffset"));
    const auto* field_offset = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryFieldNameOffset"));
    const auto* static_offset = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryIsStaticOffset"));
    const auto* address_offset = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryAddressOffset"));
    const auto* stride = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryArrayStride"));
    if (!table || !*table || !type_offset || !field_offset || !static_offset || !address_offset || !stride ||
        *stride == 0)
        return;
    const std::uintptr_t* low = nullptr;
    const std::uintptr_t* high = nullptr;
    for (const char* entry = *table;; entry += *stride) {
        const char* type = entry_field<const char*>(entry, *type_offset);
        if (type == nullptr) break;  // the table ends with an empty entry
        const char* field = entry_field<const char*>(entry, *field_offset);
        if (std::strcmp(type, "CodeCache") != 0 || field == nullptr || entry_field<std::int32_t>(entry, *static_offset) == 0)
            continue;
        const auto* address = entry_field<const std::uintptr_t*>(entry, *address_offset);
        if (std::strcmp(field, "_low_bound") == 0) low = address;
        if (std::strcmp(field, "_high_bound") == 0) high = address;
    }
    if (low == nullptr || high == nullptr) return;
    code_cache_low = low;
    code_cache_high = high;
}

// The Java runtime's library, known by what it is: the object that defines
// JNI_CreateJavaVM, found in the global scope, or through libjvm.so (its name
// in every JDK) where a host loaded it with RTLD_LOCAL. Its span goes to
// runtime_code; the result is a reference kept for good, or null.
void* find_runtime() {
    void* entry = dlsym(RTLD_DEFAULT, "JNI_CreateJavaVM");
    if (entry == nullptr) {
        if (void* by_name = dlopen("libjvm.so", RTLD_NOLOAD | RTLD_LAZY)) {
            entry = dlsym(by_name, "JNI_CreateJavaVM");
            dlclose(by_name);
        }
    }
    Dl_info info{};
    if (entry == nullptr || dladdr(entry, &info) == 0) return nullptr;
    runtime_code = object_span(reinterpret_cast<std::uintptr_t>(entry));
    return info.dli_fname != nullptr ? dlopen(info.dli_fname, RTLD_NOLOAD | RTLD_LAZY) : nullptr;
}

void install_process_wide() {
    make_signal_stack_pool();
    find_object = reinterpret_cast<FindObject>(dlsym(RTLD_DEFAULT, "_dl_find_object"));
    for (int signal : fault_signals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0) continue;
        struct sigaction ours {};
        ours.sa_sigaction = on_fault;
        ours.sa_mask = current.sa_mask;
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
        // Kept before ours is in place, for a signal that comes in between;
        // then what ours really replaced, should another thread have changed it.
        previous_actions[signal] = current;
        sigaction(signal, &ours, &previous_actions[signal]);
    }
    // No guarded call is under way yet (every other first call waits for
    // this one), so the runtime's bounds may come after the handlers.
    if (void* runtime = find_runtime()) find_code_cache(runtime);
}

}  // namespace


}  // namespace jweb
