// A thread that ends inside an engine call (pthread_exit, cancellation)
// unwinds through the guard, which lets it go on. The Java runtime never
// learns of it: its main thread ending so makes the launcher exit with
// status 0, another Java thread stays alive for it. So that such a run never
// passes for a success, the guard says so on stderr, and the process's exit
// status 0 becomes thread_ended_exit_status.
#pragma once

namespace jweb::guard_detail {

inline constexpr int thread_ended_exit_status = 70;

// On the unwind through the guard, before it goes on.
[[gnu::cold]] void note_thread_ended_inside_call() noexcept;

}  // namespace jweb::guard_detail
