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
// bits for idivq, where long is 32. 32-bit x86 divides 64-bit numbers in a
// library routine, which does not trap on zero: the 32-bit instruction does.
[[gnu::noinline]] long long divide_by_zero() {
#if defined(__x86_64__)
    volatile long long divisor = 0;
    long long n = 1;
    asm volatile("cqto\n\tidivq %1" : "+a"(n) : "r"(divisor) : "rdx", "cc");
    return n;
#else
    volatile int divisor = 0;
    int n = 1;
    asm volatile("cltd\n\tidivl %1" : "+a"(n) : "r"(divisor) : "edx", "cc");
    return n;
#endif
}

// A structured exception of code 0xE06D7363, which g++ code cannot catch.
[[noreturn]] void raise_foreign_exception() {
    const ULONG_PTR msvc_throw[4] = {0x19930520, 0, 0, 0};
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 4, msvc_throw);
    std::abort();  // not reached: the exception cannot be continued
}

}  // namespace

bool platform_has_failure(int kind) {
    return kind != STANDIN_FAIL_BUS && kind != STANDIN_FAIL_THREAD_EXIT && kind != STANDIN_FAIL_GENERATED_SEGV &&
           kind != STANDIN_FAIL_GENERATED_FPE && kind != STANDIN_FAIL_BLOCK_SIGNALS_THEN_SEGV &&
           kind != STANDIN_FAIL_BLOCK_SIGNALS_THEN_THROW && kind != STANDIN_FAIL_BUSY_UNWALKABLE &&
           kind != STANDIN_FAIL_SEGV_ON_ENGINE_THREAD && kind != STANDIN_FAIL_BLOCK_FAULTS_THEN_SEGV &&
           kind != STANDIN_FAIL_THROW_THROUGH_C_FRAME;
}

int crash_reports() { return 0; }  // no signals to report

// i686 mingw-w64 unwinds C++ exceptions with DWARF tables whose registry is
// per statically linked DLL, so a g++ throw from this DLL ends in
// std::terminate before a catch in the caller's DLL sees it. There the C++
// kinds are raised the way an engine built with Microsoft's compiler throws:
// as the structured exception 0xE06D7363.
constexpr bool cxx_throws_cross_dlls = sizeof(void*) == 8;

int limit_address_space(bool) { return -1; }

void fail_on_this_platform(int kind) {
    const bool cxx_kind = kind == STANDIN_FAIL_THROW_INT || kind == STANDIN_FAIL_THROW_RUNTIME_ERROR ||
                          kind == STANDIN_FAIL_THROW_UNRELATED || kind == STANDIN_FAIL_CALL_BACK_THEN_THROW;
    if (cxx_kind && !cxx_throws_cross_dlls) raise_foreign_exception();
    switch (kind) {
        case STANDIN_FAIL_FPE: divide_by_zero(); break;
        case STANDIN_FAIL_RAISE_FOREIGN: raise_foreign_exception();
        default: break;
    }
}

}  // namespace standin_engine
