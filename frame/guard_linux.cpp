#include "frame/guard_linux.h"

#include <signal.h>
#include <ucontext.h>

#include <array>

namespace jweb {

namespace guard_detail {
thread_local ArmedGuard* volatile armed_guard __attribute__((tls_model("initial-exec"))) = nullptr;
}  // namespace guard_detail

namespace {

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
