// The typed calls, one function per argument count. Built without debug info
// (CMakeLists.txt): each instance's name and parameter type list every index
// of its pack, up to 8,192 of them, which gdb cannot parse ("failed to be
// canonicalized", some 25 KB of warning each). Their code is one call; a
// crash's backtrace still names them through the symbol table, and unwinds
// through them by the call-frame information, which is kept.
#include <array>
#include <utility>

#include "frame/variadic_call.h"

namespace jweb::variadic_detail {

namespace {

// With a frame pointer the unwind tables describe each call in a few bytes;
// without one they note every push of its arguments, which nearly doubles the
// size of the long calls.
template <std::size_t... I>
[[gnu::optimize("no-omit-frame-pointer")]] jint call_with(VariadicEntry entry, const char* const* args,
                                                          std::index_sequence<0, I...>) {
    return entry(args[0], args[I]...);
}

template <std::size_t Count>
[[gnu::optimize("no-omit-frame-pointer")]] jint typed_call(VariadicEntry entry, const char* const* args) {
    return call_with(entry, args, std::make_index_sequence<Count>{});
}

template <std::size_t... Count>
constexpr std::array<TypedCall, sizeof...(Count) + 1> make_typed_calls(std::index_sequence<0, Count...>) {
    return {nullptr, &typed_call<Count>...};
}

template <std::size_t... K>
constexpr std::array<TypedCall, sizeof...(K)> make_padded_calls(std::index_sequence<K...>) {
    return {&typed_call<(typed_call_limit << (K + 1))>...};
}

static_assert(largest_padded_call == 8192, "lists of up to 8,192 arguments take typed calls");

}  // namespace

// Constant tables: no code runs to set them up.
constinit const std::array<TypedCall, typed_call_limit + 1> typed_calls =
    make_typed_calls(std::make_index_sequence<typed_call_limit + 1>{});
constinit const std::array<TypedCall, padded_call_count> padded_calls =
    make_padded_calls(std::make_index_sequence<padded_call_count>{});

}  // namespace jweb::variadic_detail
