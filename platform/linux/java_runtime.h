// The Java runtime's code in this process: its own library and the code it
// generates. Faults there are the runtime's business (null checks, safepoint
// polls, stack banging), on any thread.
#pragma once

#include "platform/linux/hotspot_code_cache.h"
#include "platform/linux/loaded_objects.h"

namespace jweb::platform {

struct JavaRuntimeCode {
    AddressRange library;        // empty in a process without a runtime
    CodeCacheBounds code_cache;  // null when it publishes none
};

// The runtime's library, known by what it is: the object that defines
// JNI_CreateJavaVM, found in the global scope, or through libjvm.so (its name
// in every JDK) where a host loaded it with RTLD_LOCAL. Never by whose fault
// handlers came before: an engine's crash reporter chains to the runtime's
// too. Not in a signal handler.
JavaRuntimeCode find_java_runtime_code();

}  // namespace jweb::platform
