#include "bridge/library_version.h"

#include "jweb_version.h"  // made by cmake/JwebVersion.cmake at each build

namespace jweb {

// Kept by the linker although the library never reads it: a crash report or
// `strings libjwebnative.so` names the build it came from.
[[gnu::used]] extern const char library_version[] = "jwebnative " JWEB_VERSION_TEXT;

}  // namespace jweb
