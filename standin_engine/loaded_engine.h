// Finding the stand-in engine the process has loaded, without loading it;
// one file per platform.
#pragma once

namespace standin {

extern const char engine_file_name[];  // libTswReplayMain.so, TswReplayMain.dll

// The loaded engine module, with a reference that keeps it loaded, or null
// when the process has none.
void* find_loaded_engine();

// Gives back the reference find_loaded_engine took.
void release_engine(void* module);

// The function the module exports under exactly this name, or null.
void* engine_function(void* module, const char* name);

}  // namespace standin
