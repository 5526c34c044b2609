// The call of a C variadic engine entry whose argument count is known only at
// run time.
#pragma once

#include <jni.h>

#include <cstddef>

#include "bridge/engine_entry_table.h"

namespace jweb {

// Lists up to this long are passed by a call through a typed variadic function
// pointer, one case per count, which the compiler makes right on every ABI;
// longer ones go through libffi.
inline constexpr std::size_t typed_call_limit = 64;

// Words of scratch that the call of a `count`-argument list needs right after
// the vector's slots (the long-list path builds its argument tables there, so
// that nothing is allocated inside the guarded call).
constexpr std::size_t variadic_scratch_words(std::size_t count) {
    return count > typed_call_limit ? 2 * count : 0;
}

// Calls `entry` with vector[0] .. vector[count - 1] as its arguments, the first
// as the fixed one, and returns its result; JWEB_ERR_CALL for a null entry.
// count >= 1. `vector` must have variadic_scratch_words(count) words after its
// slots. Catches nothing: the caller's guard encloses it.
jint call_variadic_entry(EngineEntry entry, std::size_t count, const char** vector);

}  // namespace jweb
