// Runs a function on another part of the stack: a fault handler passes a
// fault on to a handler that asked to run on the thread's own stack.
#pragma once

#include <cstdint>

namespace jweb::platform {

// Whether this processor has run_on_stack.
#if defined(__x86_64__) || defined(__aarch64__)
inline constexpr bool can_run_on_stack = true;
#else
inline constexpr bool can_run_on_stack = false;
#endif

// The interrupted code's own data below its stack pointer that a handler must
// leave alone: x86_64's red zone.
inline constexpr std::uintptr_t red_zone_bytes = 128;

}  // namespace jweb::platform

// Calls function(argument) with the stack pointer at `top` (rounded down to
// 16 bytes), and returns on the caller's stack. Only where can_run_on_stack.
extern "C" void jweb_run_on_stack(std::uintptr_t top, void (*function)(void*), void* argument);
