#include "guard/linux/signal_frames_linux.h"

#include <signal.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "guard/linux/fault_context.h"
#include "guard/linux/safe_read.h"

namespace jweb::guard_detail {

namespace {

// The most of the call's stack searched: beyond any thread's stack.
constexpr std::uintptr_t searched_bytes_limit = std::uintptr_t{256} << 20;
// Read a page at a time, on the signal stack: a page that cannot be read (the
// stack's headroom, where another handler's frame may have reached) is
// passed over.
constexpr std::size_t read_bytes = 4096;

// The signals 1 to 64 a context has blocked, as the kernel saved them.
std::uint64_t blocked_signals(const ucontext_t& context) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &context.uc_sigmask, sizeof bits);
    return bits;
}

// The ucontext whose uc_stack.ss_sp lies at `address`: a live handler's frame?
// Its handler runs with its own signal blocked, and the signals its action
// names, on top of what the interrupted code had blocked, which the frame
// keeps: the fault's context has one blocked that the frame's has not. (The
// remains of a frame long returned lack that, unless the called code blocked
// signals since.) What else names the signal stack there, a copy of its
// description that code setting it left behind, lacks the rest of what the
// kernel writes.
[[gnu::no_sanitize("address")]] bool live_handler_frame(std::uintptr_t address, const stack_t& signal_stack,
                                                        std::uintptr_t guard_frame, const ucontext_t* fault) {
    const std::uintptr_t frame = address - offsetof(ucontext_t, uc_stack);
    ucontext_t context;
    const std::size_t needed = std::max(offsetof(ucontext_t, uc_sigmask) + sizeof(std::uint64_t),
                                        offsetof(ucontext_t, uc_mcontext) + sizeof context.uc_mcontext);
    if (!platform::safe_read(&context, frame, needed)) return false;
    if (context.uc_stack.ss_size != signal_stack.ss_size || (context.uc_stack.ss_flags & SS_DISABLE)) return false;
    // The kernel links no context and sets only low flags.
    if (context.uc_link != nullptr || context.uc_flags > 0xff) return false;
    const std::uintptr_t interrupted = platform::interrupted_stack_pointer(&context);
    if (interrupted <= frame || interrupted > guard_frame || !platform::written_by_kernel(context, frame)) return false;
    return (blocked_signals(*fault) & ~blocked_signals(context)) != 0;
}

}  // namespace

// Not instrumented for addresses: it runs on a signal stack whose shadow
// handlers that jumped away have left stale.
[[gnu::no_sanitize("address")]] bool raised_under_another_handler(const ucontext_t* context, std::uintptr_t guard_frame,
                                                                  std::uintptr_t call_top) {
    stack_t signal_stack;
    if (sigaltstack(nullptr, &signal_stack) != 0 || (signal_stack.ss_flags & SS_DISABLE)) return false;
    const std::uintptr_t low = reinterpret_cast<std::uintptr_t>(signal_stack.ss_sp);
    const std::uintptr_t sp = platform::interrupted_stack_pointer(context);
    if (sp >= low && sp - low < signal_stack.ss_size) return true;
    if (sp >= call_top || call_top - sp > searched_bytes_limit) return false;  // another stack: the call's own
    std::uintptr_t words[read_bytes / sizeof(std::uintptr_t)];
    for (std::uintptr_t at = sp & ~std::uintptr_t{sizeof(std::uintptr_t) - 1}; at < call_top;) {
        const std::uintptr_t page_end = (at | (read_bytes - 1)) + 1;
        const std::size_t count = (std::min(page_end, call_top) - at) / sizeof words[0];
        if (count == 0) break;
        if (platform::safe_read(words, at, count * sizeof words[0])) {
            for (std::size_t i = 0; i < count; ++i)
                if (words[i] == low && live_handler_frame(at + i * sizeof words[0], signal_stack, guard_frame, context))
                    return true;
        }
        at += count * sizeof words[0];
    }
    return false;
}

}  // namespace jweb::guard_detail
