// Real processor faults for the tests (never a sent signal, which the guard
// leaves alone), and which of them the processor the tests run on can make.
#pragma once

namespace processor_faults {

// An integer division by zero traps on x86 (SIGFPE; on Windows
// EXCEPTION_INT_DIVIDE_BY_ZERO). On arm64 it gives 0 and raises nothing, so
// there it is no failure at all, and the cases that divide are left out.
#if defined(__aarch64__) || defined(_M_ARM64)
inline constexpr bool division_by_zero_traps = false;
#else
inline constexpr bool division_by_zero_traps = true;
#endif

// Each faults where the tests call it. Not instrumented: the fault must reach
// the processor, not a sanitizer's check.

// A read through a null pointer: SIGSEGV (an access violation on Windows).
[[gnu::noinline, gnu::no_sanitize("undefined")]] inline int read_null_pointer() {
    volatile int* volatile nowhere = nullptr;
    return *nowhere;
}

// An integer division by zero: SIGFPE where it traps (division_by_zero_traps).
[[gnu::noinline, gnu::no_sanitize("undefined")]] inline int divide_by_zero() {
    volatile int zero = 0;
    volatile int one = 1;
    return one / zero;
}

// An instruction that is undefined on purpose: SIGILL on every processor.
[[gnu::noinline]] inline void execute_undefined_instruction() {
#if defined(__aarch64__)
    asm volatile("udf #0");
#else
    asm volatile("ud2");
#endif
}

}  // namespace processor_faults
