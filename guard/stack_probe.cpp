#include "guard/stack_probe.h"

#include <cstdint>

namespace jweb {

// Below the stack pointer nothing is a variable of this program: the reads are
// not an address sanitizer's business.
[[gnu::noinline, gnu::no_sanitize("address")]] void probe_stack(std::size_t bytes) noexcept {
    constexpr std::size_t step = 4096;  // the smallest page: no guard page is skipped
    volatile char here = 0;
    const auto top = reinterpret_cast<std::uintptr_t>(&here);
    for (std::size_t depth = step; depth < bytes + step; depth += step)
        static_cast<void>(*reinterpret_cast<const volatile char*>(top - depth));
}

}  // namespace jweb
