#include "frame/variadic_call.h"

#include <algorithm>
#include <array>
#include <utility>

#include "frame/stack_probe.h"

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

// padded_calls[k] calls with typed_call_limit << (k + 1) arguments.
constexpr auto padded_calls = make_padded_calls(std::make_index_sequence<padded_call_sizes>{});

// A list longer than the typed calls lands on the stack in one piece, which
// could reach past the guard pages into another thread's stack. Touching its
// room first turns a list the thread's stack cannot hold into a fault on the
// guard pages, which the caller's guard catches. (Windows code probes its
// stack by itself: the compiler's ___chkstk_ms, and the long-list routine's.)
void probe_list_room([[maybe_unused]] std::size_t count) {
#if !defined(_WIN32)
    constexpr std::size_t call_frames_room = 16 * 1024;
    probe_stack(count * sizeof(const char*) + call_frames_room);
#endif
}

}  // namespace

// A constant table: no code runs to set it up.
constinit const std::array<TypedCall, typed_call_limit + 1> typed_calls =
    make_typed_calls(std::make_index_sequence<typed_call_limit + 1>{});

jint call_longer_list(VariadicEntry entry, std::size_t count, const char** vector, ListEnd end) {
    if (takes_padded_call(count, end)) {
        const std::size_t size = padded_call_size(count);
        std::fill(vector + count, vector + size, nullptr);
        probe_list_room(size);
        return padded_calls[padded_call_index(count)](entry, vector);
    }
    probe_list_room(count);
    return jweb_call_long_list(reinterpret_cast<EngineEntry>(entry), count, vector);
}

}  // namespace jweb::variadic_detail
