// Alternate signal stacks for guarded threads, from a pool reserved ahead of
// need: a stack overflow inside a guarded call is then caught like any other
// fault, its handler running on a stack of its own.
#pragma once

namespace jweb::guard_detail {

// Once in the process, before any thread takes a stack.
void make_signal_stack_pool();

// Gives the calling thread an alternate signal stack from the pool, unless it
// already has one (then that one serves and is left alone). The stack goes
// back to the pool when the thread ends. False when none could be had: calls
// go on without one (every fault but a stack overflow is still caught), and
// the next one tries again.
bool give_thread_signal_stack();

// Whether the thread's signal stack is one of the pool's: without the
// library the thread would have none. Safe in a signal handler.
bool has_pool_signal_stack();

// The flag behind it, a static-TLS bool defined beside thread_prepared
// (guard_linux.cpp), with which it shares one slot of the block.
extern constinit thread_local bool signal_stack_from_pool __attribute__((tls_model("initial-exec")));

}  // namespace jweb::guard_detail
