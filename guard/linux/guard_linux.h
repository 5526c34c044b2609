// Linux guard: sigsetjmp before the call, a fault handler that jumps back.
// The handler runs on a per-thread alternate signal stack, so that a stack
// overflow inside the call is caught like any other fault.
#pragma once

#include <cxxabi.h>
#include <jni.h>
#include <setjmp.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "guard/linux/call_mask_linux.h"
#include "guard/linux/thread_end_linux.h"

namespace jweb {

namespace guard_detail {

struct ArmedGuard {
    // The complement of this guard's address: first, so that an overrun from
    // below that reaches the resume state changes it on the way.
    std::uintptr_t seal;
    sigjmp_buf resume;
    ArmedGuard* outer;  // a guard further up this thread's stack, if any
    // The band's lowest byte: the called code's frames all lie below it.
    volatile std::uintptr_t call_top;
};

// The guard this thread is inside, read by the fault handler on any thread.
// initial-exec: the access is a plain load from the thread pointer, which is
// safe in a signal handler (no lazy TLS allocation); constinit: no wrapper
// function checks for dynamic initialisation on each access. volatile: the stores
// around the call must not be moved or dropped.
extern constinit thread_local ArmedGuard* volatile armed_guard __attribute__((tls_model("initial-exec")));

// Whether this thread is ready for guarded calls: the fault handlers are in
// place and the thread has a signal stack. After the first guarded call on a
// thread the guard makes no system call on its normal path.
extern constinit thread_local bool thread_prepared __attribute__((tls_model("initial-exec")));

// Installs the fault handlers (once in the process), keeping the actions they
// replace (the Java runtime's) for every signal that is not a fault inside a
// guarded call, and gives the calling thread an alternate signal stack from
// the pool (give_thread_signal_stack, signal_stack_pool_linux.h).
// It also keeps the thread's signal mask as it finds it, which every caught
// failure puts back.
// `jni_functions` is the JNI function table of the calling thread's JNIEnv,
// which lies in the Java runtime's own library (null where there is none).
[[gnu::cold, gnu::noinline]] void prepare_thread(const void* jni_functions) noexcept;

// Unused stack between the guard's frame and the foreign code's: a local
// buffer that the foreign code overruns upward lands here instead of in the
// frames the guard resumes in and returns through. The resume state lives
// above it, with those frames. Foreign code may write there: no address
// sanitizer's red zones.
inline constexpr std::size_t overrun_band_bytes = 4096;

// The result goes back in a register and is stored by the guard only after
// this frame has returned: where a frame keeps its return address below its
// locals (arm64), an overrun of the callee's buffer breaks this frame's, and
// its return, after the call, faults; the result must not be stored by then.
// No stack protector's canary here: the band is there to be overrun, and a
// canary above it would turn an overrun just past it, whose broken return the
// guard catches, into an abort, and cost every call a check.
template <class Result, class Call>
[[gnu::noinline, gnu::no_stack_protector, gnu::no_sanitize("address")]] Result call_below_band(Call& call,
                                                                                               ArmedGuard& guard) {
    volatile char band[overrun_band_bytes];
    asm volatile("" : : "r"(band) : "memory");  // the band must exist, untouched
    guard.call_top = reinterpret_cast<std::uintptr_t>(band);
    return call();
}

}  // namespace guard_detail

// Runs call() and stores its result, for a native method called with `env`
// (null outside the Java runtime: tests, benchmarks). Returns false when the call ended in a
// C++ exception or a processor fault; `result` is then left as it was, and
// the thread's signal mask is the one its first guarded call found, whatever
// the foreign code had blocked (the Java runtime's own faults, a division by
// zero among them, must not meet a blocked signal). Saving no mask per call
// (sigsetjmp(..., 0)) keeps the normal path free of system calls.
// A thread that ends inside the call (pthread_exit, cancellation) unwinds
// through here: the guard is disarmed and the unwind goes on. (That unwind
// carries no exception object, hence no null check of the reference.)
// No stack protector's canary: the frame's one array is the jump buffer, which
// only sigsetjmp writes, and the called code runs below the band; a canary
// cost the normal path about half a nanosecond (BM_GuardedCall, 5.4 ns).
template <class Result, class Call>
[[gnu::noinline, gnu::no_stack_protector, gnu::no_sanitize("null")]] bool call_guarded(JNIEnv* env, Call call,
                                                                                       Result& result) {
    static_assert(std::is_trivially_destructible_v<Call>,
                  "a fault leaves the guarded call without running destructors");
    using guard_detail::armed_guard;
    if (!guard_detail::thread_prepared) [[unlikely]]
        guard_detail::prepare_thread(env != nullptr ? env->functions : nullptr);
    guard_detail::ArmedGuard guard;
    guard.seal = ~reinterpret_cast<std::uintptr_t>(&guard);
    guard.outer = armed_guard;
    // Until the band is there, another handler's frame is looked for up to here.
    guard.call_top = reinterpret_cast<std::uintptr_t>(&guard);
    if (sigsetjmp(guard.resume, 0) != 0) {
        armed_guard = guard.outer;  // the handler did this too; cheap to be sure
        return false;
    }
    armed_guard = &guard;
    try {
        result = guard_detail::call_below_band<Result>(call, guard);
    } catch (abi::__forced_unwind&) {
        armed_guard = guard.outer;
        guard_detail::note_thread_ended_inside_call();
        throw;
    } catch (...) {
        armed_guard = guard.outer;
        guard_detail::put_back_call_mask();  // whatever the foreign code blocked before it threw
        return false;
    }
    armed_guard = guard.outer;
    return true;
}

template <class Result, class Call>
bool call_guarded(Call call, Result& result) {
    return call_guarded(static_cast<JNIEnv*>(nullptr), call, result);
}

}  // namespace jweb
