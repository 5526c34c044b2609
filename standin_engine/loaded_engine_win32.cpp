#include <windows.h>

#include "loaded_engine.h"

namespace standin {

const char engine_file_name[] = "TswReplayMain.dll";

// Never loads a module; flags 0: takes a reference, as dlopen does.
void* find_loaded_engine() {
    HMODULE module = nullptr;
    return GetModuleHandleExA(0, engine_file_name, &module) ? module : nullptr;
}

void release_engine(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

void* engine_function(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace standin
