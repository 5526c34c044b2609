// Injected failures: the kinds this platform has, their names in the trace,
// and making one happen. The kinds that only some platforms have live in
// failures_posix.cpp and failures_win32.cpp.
#pragma once

namespace standin_engine {

// Whether standin_inject_failure accepts the kind here.
bool failure_available(int kind);

// The kind as the trace names it.
const char* failure_text(int kind);

// Makes the failure happen in the calling entry: throws, faults or ends the
// thread. Called with no lock held and nothing owned, since a fault handler
// may jump out of it.
void fail(int kind, const char* entry);

// ---- per platform ----

// False for a kind this platform cannot make happen.
bool platform_has_failure(int kind);

// The kinds whose making differs by platform (FPE, BUS, RAISE_FOREIGN).
void fail_on_this_platform(int kind);

}  // namespace standin_engine
