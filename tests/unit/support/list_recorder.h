// An engine entry for tests of the variadic call: it records exactly the
// expected number of arguments, as an engine reads to its marker.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <vector>

namespace list_recorder {

inline std::size_t expected_count = 0;
inline std::vector<const char*> received;

// Returns expected_count * 3 - 1, so that a test sees the result come back.
inline int recording_entry(const char* first, ...) {
    received.assign(1, first);
    va_list rest;
    va_start(rest, first);
    for (std::size_t i = 1; i < expected_count; ++i) received.push_back(va_arg(rest, const char*));
    va_end(rest);
    return static_cast<int>(expected_count) * 3 - 1;
}

}  // namespace list_recorder
