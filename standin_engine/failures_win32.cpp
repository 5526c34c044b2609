// The failures whose making is Windows' own: a foreign C++ exception as an
// engine built with Microsoft's compiler raises it, and integer division by
// zero. SIGBUS has no Windows counterpart (a file cannot be cut under its
// mapping), and ending a thread from inside a call is POSIX's alone here.

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdlib>

#include "failures.h"
#include "standin_control.h"

namespace standin_engine {

namespace {

// EXCEPTION_INT_DIVIDE_BY_ZERO from the instruction itself. long long: 64
// bits for idivq, where long is 32.
[[gnu::noinline]] long long divide_by_zero() {
    volatile long long divisor = 0;
    long long n = 1;
    asm volatile("cqto\n\tidivq %1" : "+a"(n) : "r"(divisor) : "rdx", "cc");
    return n;
}

// A structured exception of code 0xE06D7363, which g++ code cannot catch.
[[noreturn]] void raise_foreign_exception() {
    const ULONG_PTR msvc_throw[4] = {0x19930520, 0, 0, 0};
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 4, msvc_throw);
    std::abort();  // not reached: the exception cannot be continued
}

}  // namespace

bool platform_has_failure(int kind) { return kind != STANDIN_FAIL_BUS && kind != STANDIN_FAIL_THREAD_EXIT; }

void fail_on_this_platform(int kind) {
    switch (kind) {
        case STANDIN_FAIL_FPE: divide_by_zero(); break;
        case STANDIN_FAIL_RAISE_FOREIGN: raise_foreign_exception();
        default: break;
    }
}

}  // namespace standin_engine
