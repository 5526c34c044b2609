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

}  // namespace jweb::platform
