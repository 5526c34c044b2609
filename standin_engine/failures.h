// Injected failures: the kinds this platform has, their names in the trace,
// and making one happen. The kinds that only some platforms have live in
// failures_posix.cpp and failures_win32.cpp.
#pragma once

#include <string>

namespace standin_engine {

// Whether the kind calls the host's callback before it returns or fails
// (STANDIN_FAIL_CALL_BACK then fails in no way).
bool calls_back_first(int kind);

// Whether the kind makes the call fail (not STANDIN_FAIL_CALL_BACK nor
// STANDIN_FAIL_BUSY_UNWALKABLE, after which the call returns its result).
bool fails(int kind);

// Whether standin_inject_failure accepts the kind here.
bool failure_available(int kind);

// The kind as the trace names it.
std::string failure_text(int kind);

// Makes the failure happen in the calling entry: throws, faults or ends the
// thread. Called with no lock held and nothing owned, since a fault handler
// may jump out of it. STANDIN_FAIL_CALL_BACK is no failure and not made here;
// STANDIN_FAIL_BUSY_UNWALKABLE is no failure either, and returns.
void fail(int kind, const char* entry);

// How far STANDIN_FAIL_OVERRUN writes past its buffer (n >= 16).
void set_overrun_bytes(int n);

// The default overrun length again (standin_reset).
void reset_failures();

// ---- per platform ----

// False for a kind this platform cannot make happen.
bool platform_has_failure(int kind);

// standin_limit_address_space.
int limit_address_space(bool on);

// standin_crash_reports: the faults the crash reporter saw (none where it is
// not installed, or not on this platform).
int crash_reports();

// Calls `function` through a frame that has no unwind tables (POSIX only).
void call_through_frame_without_unwind_tables(void (*function)());

// Makes the kinds whose making differs by platform (FPE, BUS, RAISE_FOREIGN,
// THREAD_EXIT, BUSY_UNWALKABLE; on 32-bit Windows the C++ throws too) and
// returns for the others.
void fail_on_this_platform(int kind);

}  // namespace standin_engine
