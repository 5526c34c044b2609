// Linux guard: sigsetjmp before the call, a fault handler that jumps back.
#pragma once

#include <setjmp.h>

#include <type_traits>

namespace jweb {

namespace guard_detail {

struct ArmedGuard {
    sigjmp_buf resume;
    ArmedGuard* outer;  // a guard further up this thread's stack, if any
};

// The guard this thread is inside, read by the fault handler on any thread.
// initial-exec: the access is a plain load from the thread pointer, which is
// safe in a signal handler (no lazy TLS allocation). volatile: the stores
// around the call must not be moved or dropped.
extern thread_local ArmedGuard* volatile armed_guard
    __attribute__((tls_model("initial-exec")));

}  // namespace guard_detail

// Installs the fault handlers, keeping the actions they replace (the Java
// runtime's) for every signal that is not a fault inside a guarded call.
// Called once, when the library is attached.
void install_fault_handlers();

// Runs call() and stores its result. Returns false when the call ended in a
// C++ exception or a processor fault; `result` is then left as it was.
// Saving no signal mask (sigsetjmp(..., 0)) keeps the normal path free of
// system calls; the handler restores the mask of the faulting context itself.
template <class Result, class Call>
[[gnu::noinline]] bool call_guarded(Call call, Result& result) noexcept {
    static_assert(std::is_trivially_destructible_v<Call>,
                  "a fault leaves the guarded call without running destructors");
    using guard_detail::armed_guard;
    guard_detail::ArmedGuard guard;
    guard.outer = armed_guard;
    if (sigsetjmp(guard.resume, 0) != 0) {
        armed_guard = guard.outer;  // the handler did this too; cheap to be sure
        return false;
    }
    armed_guard = &guard;
    try {
        result = call();
    } catch (...) {
        armed_guard = guard.outer;
        return false;
    }
    armed_guard = guard.outer;
    return true;
}

}  // namespace jweb
