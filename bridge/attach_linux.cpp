// Linux attach: a load-time initialiser stands in for the process-attach
// notification, and dlopen with RTLD_NOLOAD finds an already-loaded engine.
// Binding is all a load does (the guard installs its handlers later: see
// guard/linux/fault_handler_linux.h).
#include <dlfcn.h>

#include "bridge/engine_entry_table.h"
#include "bridge/engine_module.h"

namespace jweb {

const char engine_module_name[] = "libTswReplayMain.so";

void* find_loaded_engine_module() {
    // RTLD_NOLOAD never maps anything; it takes a reference on a module that
    // is already there, which is kept for the life of the process.
    return dlopen(engine_module_name, RTLD_NOLOAD | RTLD_LAZY);
}

EngineEntry find_engine_entry(void* module, const char* name) {
    return reinterpret_cast<EngineEntry>(dlsym(module, name));
}

namespace {

// Runs once per load of the library, before the Java runtime can call any of
// its methods, on the loading thread.
[[gnu::constructor]] void attach_library() { bind_engine(); }

}  // namespace

}  // namespace jweb
