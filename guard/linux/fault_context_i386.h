// What a fault handler reads from a signal's context, on i386.
#pragma once

#include <ucontext.h>

#include <cstdint>

namespace jweb::platform {

inline std::uintptr_t faulting_instruction(const ucontext_t* context) {
    return static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_EIP]);
}

inline std::uintptr_t interrupted_stack_pointer(const ucontext_t* context) {
    return static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_ESP]);
}

// Whether a context has what the kernel writes into a handler's frame: its
// floating-point state, put between the context and the interrupted stack
// pointer.
inline bool written_by_kernel(const ucontext_t& context, std::uintptr_t at) {
    const auto state = reinterpret_cast<std::uintptr_t>(context.uc_mcontext.fpregs);
    return state > at && state < interrupted_stack_pointer(&context);
}

}  // namespace jweb::platform
