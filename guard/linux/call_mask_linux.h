// The signal mask a caught failure puts back: the thread's mask as its first
// guarded call found it. Foreign code may block signals and then fail, and
// the Java runtime relies on the signals it left unblocked (SIGFPE for a
// division by zero, SIGUSR2 and SIGPROF for its samplers). Kept once per
// thread, so that the normal path of a call makes no system call; a thread
// whose mask changes between calls gets the first one back after a failure.
#pragma once

namespace jweb::guard_detail {

// At the thread's first guarded call.
void keep_call_mask();

// After a caught failure. Safe in a signal handler, as sigemptyset,
// sigaddset and pthread_sigmask are.
[[gnu::cold]] void put_back_call_mask() noexcept;

}  // namespace jweb::guard_detail
