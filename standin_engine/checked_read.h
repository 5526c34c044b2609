// Reading memory that may not be there: the argument slots and strings of a
// list whose marker is missing. Each platform probes memory its own way
// (checked_read_linux.cpp, checked_read_win32.cpp).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace standin_engine {

// Copies n bytes from our own address space, failing instead of faulting on
// memory that is not readable. Per platform.
bool copy_checked(void* dst, const void* src, std::size_t n);

// A C string, false when a byte of it up to its NUL is not readable.
bool read_string_checked(const char* p, std::string& out);

// Whether va_arg can read the next pointer without faulting. Per platform:
// it depends on where the calling convention keeps variadic arguments.
bool next_slot_readable(va_list* ap);

}  // namespace standin_engine
