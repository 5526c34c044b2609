#include "frame/guard_linux.h"

#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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
// signal-chaining library reports instead (possibly SIG_DFL).
struct sigaction previous_actions[NSIG];

void forward_to_previous(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = previous_actions[signal];
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler == SIG_DFL || previous.sa_handler == SIG_IGN) {
        // Put the previous disposition back and return: a fault re-executes
        // the faulting instruction and now meets it; a sent signal is lost
        // only where it would have been ignored anyway.
        sigaction(signal, &previous, nullptr);
        if (previous.sa_handler == SIG_DFL && info->si_code <= 0) raise(signal);
        return;
    }
    previous.sa_handler(signal);
}

void on_fault(int signal, siginfo_t* info, void* context) {
    guard_detail::ArmedGuard* guard = guard_detail::armed_guard;
    // si_code > 0: raised by the processor, not sent with kill or raise.
    if (guard != nullptr && info->si_code > 0) {
        guard_detail::armed_guard = guard->outer;
        // The jump does not restore a signal mask (none was saved), so restore
        // the one of the interrupted context: it unblocks this signal and keeps
        // whatever the thread had blocked before.
        auto* interrupted = static_cast<ucontext_t*>(context);
        pthread_sigmask(SIG_SETMASK, &interrupted->uc_sigmask, nullptr);
        siglongjmp(guard->resume, 1);
    }
    forward_to_previous(signal, info, context);
}

}  // namespace

void install_fault_handlers() {
    for (int signal : fault_signals) {
        struct sigaction ours {};
        if (sigaction(signal, nullptr, &previous_actions[signal]) != 0) continue;
        ours.sa_sigaction = on_fault;
        ours.sa_mask = previous_actions[signal].sa_mask;
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
        sigaction(signal, &ours, &previous_actions[signal]);
    }
}

}  // namespace jweb
