// Allocation failure injection and malloc accounting for the unit tests.
//
// The unit test executable is linked with -Wl,--wrap=malloc -Wl,--wrap=free:
// every direct malloc/free reference in the statically linked objects (the
// library's and the tests') goes to the hooks in alloc_failure.cpp. Calls made
// inside shared libraries (libstdc++'s operator new, libc's strdup, ...) are
// not seen. The fake JNIEnv allocates with operator new only, so an armed
// malloc failure is taken by the library's own next malloc.
#pragma once

#include <cstddef>
#include <cstdint>

namespace allocfail {

// The next malloc through the hook returns null (one-shot).
void fail_next_malloc();
// Whether that failure is still waiting for a malloc: false after a native
// call means the library did call malloc.
bool malloc_failure_armed();

// The next nothrow operator new or new[] (scalar or array, whichever comes
// first) returns null (one-shot). These are replaced globally, so this holds
// for any caller in the process.
void fail_next_nothrow_new();
bool nothrow_new_failure_armed();

// Cancels both armed failures, e.g. when a test ends without the allocation.
void disarm();

// The number of mallocs through the hook so far (failed ones included).
std::uint64_t malloc_calls();

// A point in the malloc sequence, to count blocks allocated after it.
using Mark = std::uint64_t;
Mark mark();
// The blocks malloc'ed through the hook after `m` and not yet freed through
// the hook: 0 after a native call means it freed all it allocated.
std::size_t outstanding_since(Mark m);

}  // namespace allocfail
