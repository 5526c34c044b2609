// The two platform operations the binding needs; one file per platform.
#pragma once

#include "bridge/engine_entry.h"

namespace jweb {

// The engine's file name on this platform.
extern const char engine_module_name[];

// The engine module if the process has already loaded it, else null. Never
// loads it and never runs any of its initialisation.
void* find_loaded_engine_module();

// The function the module exports under exactly this name, or null.
EngineEntry find_engine_entry(void* module, const char* name);

}  // namespace jweb
