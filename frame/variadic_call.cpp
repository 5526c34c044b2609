#include "frame/variadic_call.h"

#include <algorithm>

#include "guard/stack_probe.h"

namespace jweb::variadic_detail {

namespace {

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
