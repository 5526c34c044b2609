// Injected failures every platform has, the names of all kinds, and the
// choice between them. The overrun is here too: it only needs the compiler
// to stay out of its way.

#include "failures.h"

#include <atomic>
#include <csignal>
#include <iterator>
#include <stdexcept>

#include "standin_control.h"

namespace standin_engine {

namespace {

// Indexed by kind.
constexpr const char* failure_texts[] = {
    "",
    "throw int",
    "throw std::runtime_error",
    "throw standin::UnrelatedFailure",
    "SIGSEGV",
    "SIGFPE",
    "SIGBUS",
    "SIGILL",
    "stack overflow",
    "raised 0xE06D7363",
    "thread exit",
    "call back",
    "overrun",  // with its length, see failure_text
    "call back, then SIGSEGV",
    "call back, then throw std::runtime_error",
    "SIGSEGV in generated code",
    "SIGFPE in generated code",
    "block signals, then SIGSEGV",
    "block signals, then throw std::runtime_error",
    "busy in code a stack walk cannot pass",
    "slow stack overflow",
    "SIGSEGV on a thread of the engine's own",
    "block the fault signals, then SIGSEGV",
    "throw std::runtime_error through a frame without unwind tables",
};
constexpr int last_kind = STANDIN_FAIL_THROW_THROUGH_C_FRAME;
static_assert(std::size(failure_texts) == last_kind + 1, "a name for every kind");

[[gnu::noinline, gnu::no_sanitize("null")]] int null_dereference() {
    volatile int* volatile p = nullptr;
    return *p;
}

[[gnu::noinline]] void illegal_instruction() {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("ud2");
#elif defined(__aarch64__)
    asm volatile("udf #0");
#else
    std::raise(SIGILL);
#endif
}

volatile bool g_keep_recursing = true;  // always true; the compiler cannot know

// Not a tail call (the sum uses the frame after the call) and every frame is
// written, so it cannot become a loop or skip over a guard page.
[[gnu::noinline, gnu::noclone]] int overflow_stack(volatile char* previous) {
    volatile char frame[256];
    for (volatile char& c : frame) c = previous ? previous[0] : 1;
    if (g_keep_recursing) return overflow_stack(frame) + frame[1];
    return frame[0];
}

// The same, each frame spinning a while first, so that a timer's signal
// lands in every depth, the deepest too.
[[gnu::noinline, gnu::noclone]] int overflow_stack_slowly(volatile char* previous) {
    volatile char frame[256];
    for (volatile char& c : frame) c = previous ? previous[0] : 1;
    for (int spin = 0; spin < 2000; ++spin) asm volatile("" ::: "memory");  // kept, step by step
    if (g_keep_recursing) return overflow_stack_slowly(frame) + frame[1];
    return frame[0];
}

std::atomic<int> g_overrun_bytes{STANDIN_DEFAULT_OVERRUN_BYTES};

// Writes through the pointer it is given, as far as it is told: not inlined
// nor analysed across the call, so the compiler knows no bound to check the
// writes against (_FORTIFY_SOURCE included) and keeps every one (volatile).
// Its own frame lies below the buffer and stays intact, so it returns.
[[gnu::noinline, gnu::noipa, gnu::no_sanitize("address", "undefined")]] void fill_upward(volatile unsigned char* from,
                                                                                         int bytes) {
    for (int i = 0; i < bytes; ++i) from[i] = 0x41;
}

// Fills its 16-byte buffer and `past` bytes above it, over what its frame
// saved there (the return address on x86-64; on arm64, where a frame keeps
// its return address below its locals, its caller's), then returns through
// that: the fault comes at a return, not at a write. No stack
// protector, whose check would abort first; not instrumented for addresses,
// so that the buffer is on the real stack and no sanitizer stops the writes.
[[gnu::noinline, gnu::noclone, gnu::no_stack_protector, gnu::no_sanitize("address")]] int overrun_own_frame(int past) {
    volatile unsigned char buffer[16] = {};
    fill_upward(buffer, static_cast<int>(sizeof buffer) + past);
    return buffer[0];
}

}  // namespace

bool calls_back_first(int kind) {
    return kind == STANDIN_FAIL_CALL_BACK || kind == STANDIN_FAIL_CALL_BACK_THEN_SEGV ||
           kind == STANDIN_FAIL_CALL_BACK_THEN_THROW;
}

bool fails(int kind) { return kind != STANDIN_FAIL_CALL_BACK && kind != STANDIN_FAIL_BUSY_UNWALKABLE; }

bool failure_available(int kind) {
    return kind >= STANDIN_FAIL_NONE && kind <= last_kind && platform_has_failure(kind);
}

std::string failure_text(int kind) {
    if (kind == STANDIN_FAIL_OVERRUN)
        return "overrun of " + std::to_string(g_overrun_bytes.load(std::memory_order_relaxed)) + " bytes";
    return kind > STANDIN_FAIL_NONE && kind <= last_kind ? failure_texts[kind] : "?";
}

void fail(int kind, const char* entry) {
    fail_on_this_platform(kind);  // the kinds this platform makes its own way
    switch (kind) {
        case STANDIN_FAIL_THROW_INT: throw int{STANDIN_THROWN_INT};
        case STANDIN_FAIL_THROW_RUNTIME_ERROR:
        case STANDIN_FAIL_CALL_BACK_THEN_THROW:
        case STANDIN_FAIL_BLOCK_SIGNALS_THEN_THROW:
            throw std::runtime_error(std::string("standin engine: injected failure in ") + entry);
        case STANDIN_FAIL_THROW_UNRELATED: throw standin::UnrelatedFailure{entry};
        case STANDIN_FAIL_SEGV:
        case STANDIN_FAIL_CALL_BACK_THEN_SEGV:
        case STANDIN_FAIL_BLOCK_SIGNALS_THEN_SEGV:
        case STANDIN_FAIL_BLOCK_FAULTS_THEN_SEGV: null_dereference(); break;
        case STANDIN_FAIL_ILL: illegal_instruction(); break;
        case STANDIN_FAIL_STACK_OVERFLOW: overflow_stack(nullptr); break;
        case STANDIN_FAIL_SLOW_STACK_OVERFLOW: overflow_stack_slowly(nullptr); break;
        case STANDIN_FAIL_OVERRUN: overrun_own_frame(g_overrun_bytes.load(std::memory_order_relaxed)); break;
        default: break;
    }
}

void set_overrun_bytes(int n) { g_overrun_bytes.store(n, std::memory_order_relaxed); }

void reset_failures() { g_overrun_bytes.store(STANDIN_DEFAULT_OVERRUN_BYTES, std::memory_order_relaxed); }

}  // namespace standin_engine
