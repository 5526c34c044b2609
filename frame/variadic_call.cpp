#include "frame/variadic_call.h"

#include <array>
#include <utility>

#include "frame/result_codes.h"
#if !defined(_WIN32)
#include "frame/guard_linux.h"  // probe_stack
#endif

namespace jweb {

namespace {

using VariadicEntry = int (*)(const char*, ...);
using TypedCall = jint (*)(VariadicEntry, const char* const*);

template <std::size_t... I>
jint call_with(VariadicEntry entry, const char* const* args, std::index_sequence<0, I...>) {
    return entry(args[0], args[I]...);
}

template <std::size_t Count>
jint typed_call(VariadicEntry entry, const char* const* args) {
    return call_with(entry, args, std::make_index_sequence<Count>{});
}

template <std::size_t... Count>
constexpr std::array<TypedCall, sizeof...(Count) + 1> make_typed_calls(std::index_sequence<0, Count...>) {
    return {nullptr, &typed_call<Count>...};
}

// typed_calls[n] calls with n arguments, for 1 <= n <= typed_call_limit.
constexpr auto typed_calls = make_typed_calls(std::make_index_sequence<typed_call_limit + 1>{});

}  // namespace

jint call_variadic_entry(EngineEntry entry, std::size_t count, const char** vector) {
    if (entry == nullptr) return JWEB_ERR_CALL;
    if (count <= typed_call_limit)
        return typed_calls[count](reinterpret_cast<VariadicEntry>(entry), vector);
#if !defined(_WIN32)
    // The long list lands on the stack in one piece, which could reach past
    // the guard pages into another thread's stack. Touching its room first
    // turns a list the thread's stack cannot hold into a fault on the guard
    // pages, which the caller's guard catches.
    constexpr std::size_t call_frames_room = 16 * 1024;
    probe_stack(count * sizeof(const char*) + call_frames_room);
#endif
    return variadic_detail::jweb_call_long_list(entry, count, vector);
}

}  // namespace jweb
