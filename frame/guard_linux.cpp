#include "frame/guard_linux.h"

#include <dlfcn.h>
#include <link.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace jweb {

namespace guard_detail {
constinit thread_local ArmedGuard* volatile armed_guard __attribute__((tls_model("initial-exec"))) = nullptr;
constinit thread_local bool signal_stack_checked __attribute__((tls_model("initial-exec"))) = false;
}  // namespace guard_detail

namespace {

// ---- the per-thread alternate signal stack ----

// Room for our handler and for the Java runtime's handler, which runs on this
// stack too for the faults we pass on (its crash report included). Pages that
// are never touched cost address space only.
constexpr std::size_t signal_stack_size = 256 * 1024;

// The stack this library gave its thread; unmapped when the thread ends.
struct OwnedSignalStack {
    void* mapping = nullptr;  // a guard page, then the stack
    std::size_t length = 0;
    void* stack = nullptr;  // where the stack starts, as sigaltstack knows it

    ~OwnedSignalStack() {
        if (mapping == nullptr) return;
        // Take it out of use before it goes: a signal that arrives during the
        // rest of the thread's exit then runs on the thread's own stack.
        stack_t current;
        if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_sp == stack) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            if (sigaltstack(&off, nullptr) != 0) return;  // still in use somehow: keep the memory
        }
        munmap(mapping, length);
    }
};
thread_local OwnedSignalStack owned_signal_stack;

}  // namespace

namespace guard_detail {

void prepare_signal_stack() noexcept {
    signal_stack_checked = true;
    stack_t current;
    if (sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE)) return;

    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const long minimum = sysconf(_SC_MINSIGSTKSZ);  // grows with the processor's register state
    std::size_t size = std::max(signal_stack_size, minimum > 0 ? 4 * static_cast<std::size_t>(minimum) : 0);
    size = (size + page - 1) / page * page;
    void* mapping = mmap(nullptr, page + size, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED) return;
    // The lowest page stays inaccessible: a handler that overruns the stack
    // faults there instead of writing over whatever lies below.
    if (mprotect(mapping, page, PROT_NONE) != 0) {
        munmap(mapping, page + size);
        return;
    }
    stack_t ours{};
    ours.ss_sp = static_cast<char*>(mapping) + page;
    ours.ss_size = size;
    if (sigaltstack(&ours, nullptr) != 0) {
        munmap(mapping, page + size);
        return;
    }
    owned_signal_stack.mapping = mapping;
    owned_signal_stack.length = page + size;
    owned_signal_stack.stack = ours.ss_sp;
}

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
// The loaded object whose code the previous handler is: faults raised in
// that object's own code are its business, on any thread.
const link_map* previous_handler_object[NSIG];
// Set once a forwarded signal met a previous action with SA_RESETHAND: the
// kernel would have reset it to SIG_DFL on that first delivery.
std::atomic<bool> previous_reset[NSIG];
bool handlers_installed = false;

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

// Whether the previous handler (the Java runtime's) raised this fault in its
// own code, as the runtime does by design for null checks, safepoint polls
// and stack banging, also in Java code that foreign code calls back on a
// guarded thread. Its interpreter and compiled code lie in no loaded object;
// a fault there is its own, except that of an instruction fetched from where
// nothing may run: a jump to a wild address, as after a stack overrun.
// _dl_find_object is safe in a signal handler (dladdr is not).
bool raised_in_previous_handlers_code(int signal, const siginfo_t* info, const ucontext_t* context) {
    if (!is_handler_function(previous_actions[signal]) || previous_reset[signal].load(std::memory_order_relaxed))
        return false;
    const void* instruction = faulting_instruction(context);
    dl_find_object found;
    if (_dl_find_object(const_cast<void*>(instruction), &found) != 0) {
        const bool wild_jump = (signal == SIGSEGV || signal == SIGBUS) && info->si_addr == instruction;
        return !wild_jump;
    }
    return found.dlfo_link_map == previous_handler_object[signal];
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
    if (guard != nullptr && info->si_code > 0 && !raised_in_previous_handlers_code(signal, info, interrupted)) {
        guard_detail::armed_guard = guard->outer;
        // The jump does not restore a signal mask (none was saved), so restore
        // the one of the interrupted context: it unblocks this signal and keeps
        // whatever the thread had blocked before.
        pthread_sigmask(SIG_SETMASK, &interrupted->uc_sigmask, nullptr);
        siglongjmp(guard->resume, 1);
    }
    forward_to_previous(signal, info, context);
}

const link_map* object_of(const struct sigaction& action) {
    if (!is_handler_function(action)) return nullptr;
    dl_find_object found;
    if (_dl_find_object(reinterpret_cast<void*>(action.sa_sigaction), &found) != 0) return nullptr;
    return found.dlfo_link_map;
}

}  // namespace

void install_fault_handlers() {
    if (handlers_installed) return;
    handlers_installed = true;
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
        previous_handler_object[signal] = object_of(current);
        if (sigaction(signal, &ours, &previous_actions[signal]) != 0) continue;
        previous_handler_object[signal] = object_of(previous_actions[signal]);
    }
}

}  // namespace jweb
