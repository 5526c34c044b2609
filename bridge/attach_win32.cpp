// Windows attach: the loader's process-attach notification binds the engine,
// which must already be loaded; GetModuleHandleA never loads a module.
#include <windows.h>

#include "bridge/engine_entry_table.h"
#include "bridge/engine_module.h"

namespace jweb {

const char engine_module_name[] = "TswReplayMain.dll";

void* find_loaded_engine_module() {
    // Takes no reference on the module: the host keeps it loaded.
    return GetModuleHandleA(engine_module_name);
}

EngineEntry find_engine_entry(void* module, const char* name) {
    return reinterpret_cast<EngineEntry>(GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace jweb

// Binds at process attach only, under the loader's lock; answers success for
// every reason, so the library loads even without an engine.
extern "C" __declspec(dllexport) BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) jweb::bind_engine();
    return TRUE;
}
