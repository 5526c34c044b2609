// Loading an engine module as a host's JVM does, and what the platform's
// loader knows it by; one file per platform.
#pragma once

#include <string>

namespace jweb::check {

struct LoadedEngine {
    void* module = nullptr;
    std::string file;      // the file the loader opened
    std::string known_as;  // the name the loader knows it by: soname, or DLL file name
};

// Loads the module (its own initialisation runs); on failure, false and the
// loader's reason in `error`.
bool load_engine(const char* requested, LoadedEngine& engine, std::string& error);

// How a host's loader finds a module given by name alone, for the texts:
// the whole search, and the variable a user sets.
extern const char engine_search_path[];
extern const char engine_path_variable[];

}  // namespace jweb::check
