#include "guard/linux/fault_handler_linux.h"

#include <errno.h>
#include <signal.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>

#include "guard/linux/call_mask_linux.h"
#include "guard/linux/fault_context.h"
#include "guard/linux/guard_linux.h"
#include "guard/linux/java_runtime.h"
#include "guard/linux/loaded_objects.h"
#include "guard/linux/run_on_stack.h"
#include "guard/linux/safe_read.h"
#include "guard/linux/signal_frames_linux.h"
#include "guard/linux/signal_stack_pool_linux.h"
#include "guard/linux/stack_headroom_linux.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace jweb::guard_detail {

namespace {

constexpr std::array<int, 4> fault_signals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

// The actions in place before ours: the Java runtime's handlers, or what a
// signal-chaining library reports instead (possibly SIG_DFL or SIG_IGN).
struct sigaction previous_actions[NSIG];

// Set once a forwarded signal met a previous action with SA_RESETHAND: the
// kernel would have reset it to SIG_DFL on that first delivery.
std::atomic<bool> previous_reset[NSIG];

// Set once at install, after the handlers (no guarded call is under way
// before then), read by them on any thread.
platform::JavaRuntimeCode runtime_code;

// Every signal but the faults (and SIGTRAP, a debugger's): set once at install.
sigset_t all_but_faults;

void on_fault(int signal, siginfo_t* info, void* context);

bool is_handler_function(const struct sigaction& action) {
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN && action.sa_sigaction != on_fault;
}

// Whether code the Java runtime generated is where the fault is: its code
// cache when it publishes it. Otherwise code in no loaded object is taken for
// the runtime's (or a host's JIT), which leaves the faults of an engine's own
// generated code to that handler; and where even that cannot be told (glibc
// before 2.35), no code is, so that faults outside the runtime's library are
// the guard's.
bool in_runtimes_generated_code(std::uintptr_t instruction) {
    const platform::CodeCacheBounds& cache = runtime_code.code_cache;
    if (cache.low != nullptr) {
        const std::uintptr_t low = *cache.low;
        const std::uintptr_t high = *cache.high;
        if (low < high) return instruction >= low && instruction < high;
    }
    if (!platform::can_tell_loaded_objects()) return false;
    return !platform::in_loaded_object(instruction);
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
    const std::uintptr_t instruction = platform::faulting_instruction(context);
    if (runtime_code.library.contains(instruction)) return true;
    const bool wild_jump =
        (signal == SIGSEGV || signal == SIGBUS) && reinterpret_cast<std::uintptr_t>(info->si_addr) == instruction;
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

void call_previous(const struct sigaction& previous, int signal, siginfo_t* info, void* context) {
    if (previous.sa_flags & SA_SIGINFO)
        previous.sa_sigaction(signal, info, context);
    else
        previous.sa_handler(signal);
}

// A fault passed on to a handler that did not ask for the signal stack runs
// where it would have run without ours: below the interrupted stack pointer.
// A profiler's crash protection looks for its recovery point near the stack
// pointer, and would not find it from the signal stack.
struct PassedOn {
    const struct sigaction* previous;
    int signal;
    siginfo_t* info;
    void* context;
    stack_t signal_stack;
};

// Whether the previous handler runs on the thread's stack: where it asked for
// none, or the signal stack is the library's (without which the thread would
// have none). Not on a processor without the switch, nor for a fault not
// taken on the signal stack (under a signal-chaining library the runtime's
// handler called ours), nor one of a handler that runs there, nor a fault
// close below the interrupted stack pointer, where the thread's stack may be
// used up.
bool runs_on_thread_stack(const struct sigaction& previous, int signal, const siginfo_t* info,
                          const ucontext_t* context, stack_t& signal_stack) {
    if (!platform::can_run_on_stack || ((previous.sa_flags & SA_ONSTACK) && !has_pool_signal_stack())) return false;
    if (sigaltstack(nullptr, &signal_stack) != 0 || !(signal_stack.ss_flags & SS_ONSTACK)) return false;
    const std::uintptr_t sp = platform::interrupted_stack_pointer(context);
    const std::uintptr_t low = reinterpret_cast<std::uintptr_t>(signal_stack.ss_sp);
    if (sp - low < signal_stack.ss_size || sp < platform::red_zone_bytes + 4096) return false;
    // Only an access at or below the stack pointer uses the stack up; one
    // above it (a frame walk past the stack's top) leaves it whole.
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    constexpr std::uintptr_t near_the_stack_pointer = 256 * 1024;
    const bool below = address <= sp && sp - address <= near_the_stack_pointer;
    return !((signal == SIGSEGV || signal == SIGBUS) && info->si_code > 0 && below);
}

void call_previous_off_the_signal_stack(void* argument) {
    auto* passed = static_cast<PassedOn*>(argument);
    // Off the signal stack, as the thread is without ours: a fault the
    // previous handler meets runs here too, and our frames above stay whole.
    // Should that handler jump away instead of returning (crash protection
    // does), the next guarded call gives the thread its signal stack back.
    const bool prepared = thread_prepared;
    thread_prepared = false;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    call_previous(*passed->previous, passed->signal, passed->info, passed->context);
    // Given back from where it lies, on the signal stack: no copy of it stays
    // on the thread's stack, where it could pass for a handler's frame.
    passed->signal_stack.ss_flags = 0;
    sigaltstack(&passed->signal_stack, nullptr);
    thread_prepared = prepared;
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
    PassedOn passed{&previous, signal, info, context, {}};
    const auto* interrupted = static_cast<const ucontext_t*>(context);
    if (runs_on_thread_stack(previous, signal, info, interrupted, passed.signal_stack)) {
        const std::uintptr_t sp = platform::interrupted_stack_pointer(interrupted);
        // Close above the stack's headroom (or on its page) the handler gets
        // it, since no signal stack is there for a fault it would meet at the
        // page.
        constexpr std::uintptr_t handler_room = 64 * 1024;
        open_stack_headroom_below(sp, handler_room);
        jweb_run_on_stack(sp - platform::red_zone_bytes, call_previous_off_the_signal_stack, &passed);
        return;
    }
    call_previous(previous, signal, info, context);
}

// Under AddressSanitizer: handlers that jumped away from the signal stack
// (ours to a guard, another's crash protection) left their frames' red zones
// poisoned there, where this handler's frames now lie. Forgotten at entry.
[[gnu::no_sanitize("address")]] void forget_stale_signal_stack_shadow() {
#if defined(__SANITIZE_ADDRESS__)
    stack_t signal_stack;
    if (syscall(SYS_sigaltstack, nullptr, &signal_stack) == 0 && (signal_stack.ss_flags & SS_ONSTACK))
        __asan_unpoison_memory_region(signal_stack.ss_sp, signal_stack.ss_size);
#endif
}

void on_fault(int signal, siginfo_t* info, void* context) {
    forget_stale_signal_stack_shadow();
    // The interrupted code finds errno as it left it, whatever system calls
    // this handler makes before it returns.
    const int saved_errno = errno;
    ArmedGuard* guard = armed_guard;
    auto* interrupted = static_cast<ucontext_t*>(context);
    // si_code > 0: raised by the processor, not sent with kill or raise. A
    // fault of another signal handler that runs on top of the call (a
    // profiler's) is that handler's to recover from, or its chain's: jumping
    // out of it would leave its locks taken and its timers unarmed.
    const bool raised = info->si_code > 0;
    // A guard whose seal an overrun changed has no resume state left to jump
    // to: the fault goes on to the Java runtime, which reports the crash.
    if (guard != nullptr && guard->seal != ~reinterpret_cast<std::uintptr_t>(guard)) {
        armed_guard = nullptr;
        guard = nullptr;
    }
    if (guard != nullptr && raised && !raised_in_runtimes_code(signal, info, interrupted)) {
        // A sampler's signal waits while the stack is searched, also where
        // another handler in front of ours calls it with fewer signals
        // blocked: its handler would run on top of this one and fault, with
        // this signal blocked, which ends the process.
        sigset_t before;
        pthread_sigmask(SIG_BLOCK, &all_but_faults, &before);
        if (!raised_under_another_handler(interrupted, reinterpret_cast<std::uintptr_t>(guard), guard->call_top)) {
            armed_guard = guard->outer;
            // The jump restores no mask (none was saved): the one the thread's
            // first call found, not the interrupted context's, which is what the
            // foreign code made it. It unblocks this signal too.
            put_back_call_mask();
            siglongjmp(guard->resume, 1);
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    // Anyone else's code at the stack's headroom goes on, over it.
    if (!(raised && signal == SIGSEGV && open_stack_headroom(reinterpret_cast<std::uintptr_t>(info->si_addr))))
        forward_to_previous(signal, info, context);
    errno = saved_errno;
}

}  // namespace

void install_fault_handlers(const void* jni_functions) {
    platform::prepare_object_lookup();
    platform::prepare_safe_read();
    sigfillset(&all_but_faults);
    for (int fault : fault_signals) sigdelset(&all_but_faults, fault);
    sigdelset(&all_but_faults, SIGTRAP);
    for (int signal : fault_signals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0) continue;
        struct sigaction ours {};
        ours.sa_sigaction = on_fault;
        // Every signal but the faults waits while ours runs, as the Java
        // runtime's own handler has it: a sampler's handler that came in
        // on top of ours would run on our stack, and a fault of its walk,
        // with this signal blocked, would end the process.
        ours.sa_mask = all_but_faults;
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
        // Kept before ours is in place, for a signal that comes in between;
        // then what ours really replaced, should another thread have changed it.
        previous_actions[signal] = current;
        sigaction(signal, &ours, &previous_actions[signal]);
    }
    // No guarded call is under way yet (every other first call waits for
    // this one), so the runtime's bounds may come after the handlers.
    runtime_code = platform::find_java_runtime_code(jni_functions);
}

}  // namespace jweb::guard_detail
