// Reading a C string that may run into unreadable memory, on top of each
// platform's checked copy.

#include "checked_read.h"

#include <cstdint>
#include <cstring>

namespace standin_engine {

// Page by page, so that a string ending just before an unmapped page reads whole.
bool read_string_checked(const char* p, std::string& out) {
    constexpr std::uintptr_t page = 4096;  // the smallest page; larger ones are multiples
    char buf[page];
    for (;;) {
        const auto addr = reinterpret_cast<std::uintptr_t>(p);
        const std::size_t chunk = page - addr % page;
        if (!copy_checked(buf, p, chunk)) return false;
        if (const void* nul = std::memchr(buf, '\0', chunk)) {
            out.append(buf, static_cast<const char*>(nul) - buf);
            return true;
        }
        out.append(buf, chunk);
        p += chunk;
    }
}

}  // namespace standin_engine
