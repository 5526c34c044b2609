// Headroom at the end of a guarded thread's stack. A signal handler that
// interrupts an engine's runaway recursion (a profiler's sampler) runs on the
// thread's own stack, below the engine's frames: with the engine stopped only
// by the stack's end, such a handler would overflow in turn, inside its own
// code, holding its own locks. One page, `headroom_bytes` above the lowest
// usable address, is made unreadable: the engine's recursion faults there,
// and the guard turns that into a failed call, with the room below left for
// other handlers (and for the Java runtime's own guard zones). A handler
// that reaches the page opens it, and the page moves a step down.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jweb::guard_detail {

inline constexpr std::size_t headroom_bytes = 96 * 1024;

// At a guarded call on a thread not yet prepared: puts the page in place, or
// back in place after open_stack_headroom. Nothing on a stack too small to
// spare the room, or where the page cannot be protected (the process's first
// thread, whose stack grows on demand). The page is opened again when the
// thread ends: its stack may be reused by a thread that never calls.
void close_stack_headroom();

// In the fault handler, for a fault that is not a guarded call's own: true
// when `address` lies in this thread's page, which is then opened so that
// the faulting code (the runtime's stack banging, a handler on top of an
// engine call) goes on, and a page a step lower closed in its place (none
// after the lowest); the next guarded call puts the first back
// (thread_prepared is cleared). Safe in a signal handler.
bool open_stack_headroom(std::uintptr_t address);

// Opens this thread's page, as open_stack_headroom does, when `sp` lies less
// than `bytes` above it: a handler about to run there has the headroom for
// itself. Safe in a signal handler.
void open_stack_headroom_below(std::uintptr_t sp, std::uintptr_t bytes);

}  // namespace jweb::guard_detail
