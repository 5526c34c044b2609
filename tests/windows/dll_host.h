// The DLLs as a host loads them: the engine first (or not, or later), then
// the library with LoadLibrary. main() sets this up from its arguments.
#pragma once

#include <string>

namespace dll_host {

// Loads the modules for one binding state ("loaded", "absent", "no_revert",
// "loaded_later"), then the stand-in's control library when its path is not
// empty; "" on success, else what went wrong.
std::string start(const std::string& binding, const std::string& library_path, const std::string& engine_path,
                  const std::string& control_path);

// The gtest filter selecting this state's tests.
std::string test_filter();

}  // namespace dll_host
