// Whether a fault inside a guarded call came from a signal handler that runs
// on top of the call (a profiler's sampler and its stack walk, which recover
// from their own faults), rather than from the code the call runs.
#pragma once

#include <ucontext.h>

#include <cstdint>

namespace jweb::guard_detail {

// True when the interrupted code runs on the thread's signal stack, where no
// guarded call runs, or when a frame the kernel pushed to run a handler lies
// between the interrupted stack pointer and the guard (`guard_frame`, the
// guard's own state on the stack), and the frame is live: it interrupted code
// below the guard, and the fault has a signal blocked that the frame's
// interrupted code had not, as a handler's own signal stays blocked while it
// runs. (A handler with SA_NODEFER and an empty mask is not told apart.) The kernel writes the thread's signal stack
// into each such frame; that is how one is found. The search stops below the guard's overrun band, which nothing writes
// and which may hold the remains of frames long returned. Faults are rare; the search reads at most the call's own
// stack, through the kernel, so it cannot fault. False where it cannot tell
// (no signal stack). Safe in a signal handler.
// `call_top` is the lowest address of the guard's band, above every frame
// of the called code (null before the call began: then nothing is searched).
bool raised_under_another_handler(const ucontext_t* context, std::uintptr_t guard_frame, std::uintptr_t call_top);

}  // namespace jweb::guard_detail
