// The handlers of processor faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL): a fault
// inside a guarded call, in code that is not the Java runtime's, jumps back
// to the call's guard; every other signal goes to the action the handler
// replaced, the runtime's or a host's, as if ours were not there.
#pragma once

namespace jweb::guard_detail {

// Once in the process, at the first guarded call: by then the Java runtime,
// however late it was created, has installed its own handlers (installed at
// load, before a runtime created later, ours would be taken for a host's and
// kept or replaced by it). The runtime is the object that holds
// `jni_functions`, the JNI function table of a JNIEnv (none when null).
void install_fault_handlers(const void* jni_functions);

}  // namespace jweb::guard_detail
