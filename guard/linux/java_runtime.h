// The Java runtime's code in this process: its own library and the code it
// generates. Faults there are the runtime's business (null checks, safepoint
// polls, stack banging), on any thread.
#pragma once

#include "guard/linux/hotspot_code_cache.h"
#include "guard/linux/loaded_objects.h"

namespace jweb::platform {

struct JavaRuntimeCode {
    AddressRange library;        // empty in a process without a runtime
    CodeCacheBounds code_cache;  // null when it publishes none
};

// The runtime's library, known by what it is: the object that holds the JNI
// function table of a JNIEnv it gave (`jni_functions`; none when null),
// wherever and however a host loaded it. Not by a symbol's name, which a host
// may define too (a forwarding JNI_CreateJavaVM), nor by whose fault handlers
// came before: an engine's crash reporter chains to the runtime's too. Not
// in a signal handler.
JavaRuntimeCode find_java_runtime_code(const void* jni_functions);

}  // namespace jweb::platform
