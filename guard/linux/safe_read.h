// Reading memory that may not be readable, from a signal handler, without
// faulting: the kernel copies it and reports what it cannot read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jweb::platform {

// Once, before any signal handler reads.
void prepare_safe_read();

// Copies `bytes` (at most 4096) from `from`; false when any of them cannot be
// read. Safe in a signal handler; leaves errno as it found it.
bool safe_read(void* to, std::uintptr_t from, std::size_t bytes);

}  // namespace jweb::platform
