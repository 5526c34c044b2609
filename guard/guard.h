// The guard around a call into foreign code: a C++ exception of any type or a
// processor fault inside the call comes back as a failed outcome instead of
// unwinding into the Java runtime or killing the process.
//
//   jint result = JWEB_ERR_CALL;
//   bool called = call_guarded([=] { return entry(a, b); }, result);
//
// The callable must be trivially destructible: on a fault the guard leaves it
// without running destructors, so nothing that owns resources may live there.
#pragma once

#if defined(_WIN32)
#include "guard/win32/guard_win32.h"
#else
#include "guard/linux/guard_linux.h"
#endif
