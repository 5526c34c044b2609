// Touching the stack ahead of a call that takes much of it at once.
#pragma once

#include <cstddef>

namespace jweb {

// Reads the stack page by page from the caller's frame down to `bytes` below
// it. A call about to take that much stack at once (a long argument list)
// then faults on the thread's guard pages, inside its guard, when the thread
// has not that much left, rather than jumping past them and writing over
// whatever lies below, such as another thread's stack.
void probe_stack(std::size_t bytes) noexcept;

}  // namespace jweb
