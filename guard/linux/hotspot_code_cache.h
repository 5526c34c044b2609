// Where HotSpot keeps the bounds of its code cache, which holds all the code
// it generates (interpreter, stubs, compiled methods): the addresses of
// CodeCache::_low_bound and _high_bound, found in the structure tables it
// publishes to debuggers and profilers.
#pragma once

#include <cstdint>

namespace jweb::platform {

// The bounds' addresses; read them at each use, as the runtime sets them
// once it has reserved the cache. Null when the runtime is not HotSpot, or
// publishes no such table.
struct CodeCacheBounds {
    const std::uintptr_t* low = nullptr;
    const std::uintptr_t* high = nullptr;
};

// From the runtime's library (a dlopen handle). Not in a signal handler.
CodeCacheBounds find_hotspot_code_cache(void* runtime);

}  // namespace jweb::platform
