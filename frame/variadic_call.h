// The call of a C variadic engine entry whose argument count is known only at
// run time.
#pragma once

#include <jni.h>

#include <cstddef>

#include "bridge/engine_entry_table.h"

namespace jweb {

// Lists up to this long are passed by a call through a typed variadic function
// pointer, one case per count, which the compiler makes right on every ABI;
// longer ones go through libffi (variadic_call_ffi.cpp), or on Win64, where
// there is no libffi, through a short routine (variadic_call_win64.S).
// Measured on x86-64 (native_benchmarks, BM_VariadicCall): a typed call costs
// about 0.2 ns per argument, libffi 7 to 15 ns, against some 60 ns per
// attribute that the Java runtime takes to hand out a string. The typed cases'
// code grows with the square of the limit (about 20 KB at 64, 80 KB at 128);
// 128 keeps lists of up to some 120 attributes, far beyond the usual ones, off
// libffi.
inline constexpr std::size_t typed_call_limit = 128;

// Words of scratch that the call of a `count`-argument list needs right after
// the vector's slots (the long-list path builds its argument tables there, so
// that nothing is allocated inside the guarded call).
constexpr std::size_t variadic_scratch_words([[maybe_unused]] std::size_t count) {
#if defined(_WIN32)
    return 0;  // the Windows routines (win64, win32) build the list on their own stack
#else
    return count > typed_call_limit ? 2 * count : 0;
#endif
}

// Calls `entry` with vector[0] .. vector[count - 1] as its arguments, the first
// as the fixed one, and returns its result; JWEB_ERR_CALL for a null entry.
// count >= 1. `vector` must have variadic_scratch_words(count) words after its
// slots. Catches nothing: the caller's guard encloses it.
jint call_variadic_entry(EngineEntry entry, std::size_t count, const char** vector);

namespace variadic_detail {
// The long-list call of this platform, for count > typed_call_limit; C
// linkage, since on Windows it is written in assembly.
extern "C" jint jweb_call_long_list(EngineEntry entry, std::size_t count, const char** vector);
}  // namespace variadic_detail

}  // namespace jweb
