// Injected failures every platform has, the names of all kinds, and the
// choice between them.

#include "failures.h"

#include <csignal>
#include <iterator>
#include <stdexcept>
#include <string>

#include "standin_control.h"

namespace standin_engine {

namespace {

// Indexed by kind.
constexpr const char* kFailureTexts[] = {
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
};
constexpr int kLastKind = STANDIN_FAIL_RAISE_FOREIGN;
static_assert(std::size(kFailureTexts) == kLastKind + 1, "a name for every kind");

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

}  // namespace

bool failure_available(int kind) {
    return kind >= STANDIN_FAIL_NONE && kind <= kLastKind && platform_has_failure(kind);
}

const char* failure_text(int kind) {
    return kind > STANDIN_FAIL_NONE && kind <= kLastKind ? kFailureTexts[kind] : "?";
}

void fail(int kind, const char* entry) {
    switch (kind) {
        case STANDIN_FAIL_THROW_INT: throw int{STANDIN_THROWN_INT};
        case STANDIN_FAIL_THROW_RUNTIME_ERROR:
            throw std::runtime_error(std::string("standin engine: injected failure in ") + entry);
        case STANDIN_FAIL_THROW_UNRELATED: throw standin::UnrelatedFailure{entry};
        case STANDIN_FAIL_SEGV: null_dereference(); break;
        case STANDIN_FAIL_ILL: illegal_instruction(); break;
        case STANDIN_FAIL_STACK_OVERFLOW: overflow_stack(nullptr); break;
        default: fail_on_this_platform(kind); break;
    }
}

}  // namespace standin_engine
