// The Windows long-list routine called directly (variadic_call_win64.S, or
// variadic_call_win32.S in the 32-bit build), for counts on both sides of the
// four register arguments of Win64 and lists that grow the stack by many
// pages: each argument received in its place, the stack aligned at the call.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/variadic_call.h"
#include "support/list_recorder.h"

namespace {

using list_recorder::expected_count;
using list_recorder::received;
using list_recorder::recording_entry;

int no_argument() {
    received.clear();
    return 77;
}

// An SSE store of a 16-byte-aligned local would fault on a misaligned stack.
[[gnu::noinline]] int aligned_entry(const char* first, ...) {
    alignas(16) volatile char block[16] = {};
    block[0] = first ? first[0] : 0;
    return reinterpret_cast<std::uintptr_t>(&block) % 16 == 0 ? 1 : 0;
}

TEST(VariadicCallWindows, PassesExactlyTheSlotsWhateverTheCount) {
    using jweb::variadic_detail::jweb_call_long_list;
    EXPECT_EQ(jweb_call_long_list(reinterpret_cast<jweb::EngineEntry>(&no_argument), 0, nullptr), 77);
    for (std::size_t count : {1, 2, 3, 4, 5, 10, 65, 200, 5000, 100000}) {
        std::vector<std::string> texts(count);
        std::vector<const char*> slots(count);
        for (std::size_t i = 0; i < count; ++i) {
            texts[i] = "argument " + std::to_string(i);
            slots[i] = i % 7 == 3 ? nullptr : texts[i].c_str();
        }
        expected_count = count;
        EXPECT_EQ(jweb_call_long_list(reinterpret_cast<jweb::EngineEntry>(&recording_entry), count, slots.data()),
                  static_cast<jint>(count) * 3 - 1);
        EXPECT_EQ(received, slots) << count;
        EXPECT_EQ(jweb_call_long_list(reinterpret_cast<jweb::EngineEntry>(&aligned_entry), count, slots.data()), 1)
            << count;
    }
}

}  // namespace
