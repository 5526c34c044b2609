// The call of a C variadic engine entry whose argument count is known only at
// run time.
#pragma once

#include <jni.h>

#include <array>
#include <bit>
#include <cstddef>

#include "bridge/engine_entry.h"
#include "frame/result_codes.h"

namespace jweb {

// Lists up to this long are passed by a call through a typed variadic function
// pointer, one case per count, which the compiler makes right on every ABI.
// A typed call costs a fraction of what libffi's does per argument, and both
// far less than the Java runtime takes to hand out a string
// (native_benchmarks' BM_VariadicEntry compares them). The typed cases' code
// grows with the square of the limit.
inline constexpr std::size_t typed_call_limit = 128;

// Longer lists that end with a marker go through one typed call of the next
// size of a few (256, 512, ... 8,192), with null pointers after the list: the
// entry reads up to its marker, and C lets a variadic function be passed more
// arguments than it reads. Their code grows with the sizes alone, and keeps
// lists of up to 8,192 arguments at typed-call cost.
inline constexpr std::size_t padded_call_count = 6;
inline constexpr std::size_t largest_padded_call = typed_call_limit << padded_call_count;

// The padded call for a list of `count` arguments: its index, and its size.
constexpr std::size_t padded_call_index(std::size_t count) {
    return static_cast<std::size_t>(std::bit_width((count - 1) / typed_call_limit)) - 1;
}
constexpr std::size_t padded_call_size(std::size_t count) { return typed_call_limit << (padded_call_index(count) + 1); }

// How a list ends: with a marker the entry stops at (padding after it is
// harmless), or with whatever the caller passed last, so that the entry must
// get exactly the list.
enum class ListEnd { marker, exact };

// Whether a list goes through a padded call.
constexpr bool takes_padded_call(std::size_t count, ListEnd end) {
    return end == ListEnd::marker && count > typed_call_limit && count <= largest_padded_call;
}

// Words of scratch that the call of a `count`-argument list needs right after
// the vector's slots: the padding of a padded call, or what the long-list path
// builds its argument tables in, so that nothing is allocated inside the
// guarded call.
constexpr std::size_t long_list_scratch_words([[maybe_unused]] std::size_t count) {
#if defined(_WIN32)
    return 0;  // the Windows routines (win64, win32) build the list on their own stack
#else
    return 2 * count;
#endif
}
constexpr std::size_t variadic_scratch_words(std::size_t count, ListEnd end = ListEnd::exact) {
    if (count <= typed_call_limit) return 0;
    return takes_padded_call(count, end) ? padded_call_size(count) - count : long_list_scratch_words(count);
}

namespace variadic_detail {
using VariadicEntry = int (*)(const char*, ...);
using TypedCall = jint (*)(VariadicEntry, const char* const*);

// typed_calls[n] calls with n arguments, for 1 <= n <= typed_call_limit;
// padded_calls[k] with typed_call_limit << (k + 1) (typed_calls.cpp).
extern const std::array<TypedCall, typed_call_limit + 1> typed_calls;
extern const std::array<TypedCall, padded_call_count> padded_calls;

// The calls of lists longer than typed_call_limit.
jint call_longer_list(VariadicEntry entry, std::size_t count, const char** vector, ListEnd end);

// The long-list call of this platform, for lists that neither the typed nor
// the padded calls take: libffi (variadic_call_ffi.cpp), or on Windows, where
// there is no libffi, a short routine (variadic_call_win64.S,
// variadic_call_win32.S); C linkage, since those are written in assembly.
extern "C" jint jweb_call_long_list(EngineEntry entry, std::size_t count, const char** vector);
}  // namespace variadic_detail

// Calls `entry` (not null: the frame checks it first) with vector[0] ..
// vector[count - 1] as its arguments, the first as the fixed one, and returns
// its result. count >= 1. `vector` must have variadic_scratch_words(count, end) words
// after its slots. With ListEnd::marker the entry may get null pointers after
// the list (they are written into the scratch). Catches nothing: the caller's
// guard encloses it. Inline, so that a short list costs the guarded call one
// indirect call and no more.
inline jint call_variadic_entry(EngineEntry entry, std::size_t count, const char** vector,
                                ListEnd end = ListEnd::exact) {
    using namespace variadic_detail;
    const auto variadic = reinterpret_cast<VariadicEntry>(entry);
    if (count <= typed_call_limit) [[likely]]
        return typed_calls[count](variadic, vector);
    return call_longer_list(variadic, count, vector, end);
}

}  // namespace jweb
