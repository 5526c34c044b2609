#include "tests/unit/support/memory_advice.h"

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

extern "C" int __real_madvise(void* address, std::size_t length, int advice);

namespace {

struct Advice {
    std::uintptr_t low;
    std::uintptr_t high;
    int advice;
};

std::mutex g_mutex;
std::vector<Advice> g_calls;

}  // namespace

extern "C" __attribute__((visibility("default"))) int __wrap_madvise(void* address, std::size_t length, int advice) {
    {
        const auto low = reinterpret_cast<std::uintptr_t>(address);
        std::lock_guard<std::mutex> lock(g_mutex);
        g_calls.push_back({low, low + length, advice});
    }
    return __real_madvise(address, length, advice);
}

namespace memory_advice {

bool advised(const void* address, int advice) {
    const auto wanted = reinterpret_cast<std::uintptr_t>(address);
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const Advice& call : g_calls)
        if (call.advice == advice && wanted >= call.low && wanted < call.high) return true;
    return false;
}

}  // namespace memory_advice
