// What a fault handler reads from a signal's context, on aarch64.
#pragma once

#include <ucontext.h>

#include <cstdint>
#include <cstring>

namespace jweb::platform {

inline std::uintptr_t faulting_instruction(const ucontext_t* context) {
    return static_cast<std::uintptr_t>(context->uc_mcontext.pc);
}

inline std::uintptr_t interrupted_stack_pointer(const ucontext_t* context) {
    return static_cast<std::uintptr_t>(context->uc_mcontext.sp);
}

// Whether a context has what the kernel writes into a handler's frame: the
// floating-point record first in the context's reserved space (its magic, as
// <asm/sigcontext.h> names it FPSIMD_MAGIC). A copy of a signal stack's
// description, left on a stack by code that set one, has none.
inline bool written_by_kernel(const ucontext_t& context, std::uintptr_t) {
    constexpr std::uint32_t floating_point_record = 0x46508001;
    std::uint32_t magic = 0;
    std::memcpy(&magic, context.uc_mcontext.__reserved, sizeof magic);
    return magic == floating_point_record;
}

}  // namespace jweb::platform
