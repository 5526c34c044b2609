#include "frame/fault_handler_linux.h"

#include <signal.h>
#include <ucontext.h>

#include <array>
#include <atomic>
#include <cstdint>

#include "frame/call_mask_linux.h"
#include "frame/guard_linux.h"
#include "platform/linux/fault_context.h"
#include "platform/linux/java_runtime.h"
#include "platform/linux/loaded_objects.h"

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
    ArmedGuard* guard = armed_guard;
    auto* interrupted = static_cast<ucontext_t*>(context);
    // si_code > 0: raised by the processor, not sent with kill or raise.
    if (guard != nullptr && info->si_code > 0 && !raised_in_runtimes_code(signal, info, interrupted)) {
        armed_guard = guard->outer;
        // The jump restores no mask (none was saved): the one the thread's
        // first call found, not the interrupted context's, which is what the
        // foreign code made it. It unblocks this signal too.
        put_back_call_mask();
        siglongjmp(guard->resume, 1);
    }
    forward_to_previous(signal, info, context);
}

}  // namespace

void install_fault_handlers() {
    platform::prepare_object_lookup();
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
    runtime_code = platform::find_java_runtime_code();
}

}  // namespace jweb::guard_detail
