#include <dlfcn.h>

#include "loaded_engine.h"

namespace standin {

const char engine_file_name[] = "libTswReplayMain.so";

// RTLD_NOLOAD: a reference to a module already there, never a load.
void* find_loaded_engine() { return dlopen(engine_file_name, RTLD_NOLOAD | RTLD_LAZY); }

void release_engine(void* module) { dlclose(module); }

void* engine_function(void* module, const char* name) { return dlsym(module, name); }

}  // namespace standin
