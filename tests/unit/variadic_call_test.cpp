// The variadic call by count: typed calls up to the limit, the long-list path
// beyond it, the neighbours of the limit included; and failures of the entry
// leaving either path for the guard.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "frame/arg_vector.h"
#include "frame/guard.h"
#include "frame/result_codes.h"
#include "frame/variadic_call.h"

namespace {

std::size_t expected_count = 0;
std::vector<const char*> received;

// Reads exactly the expected number of arguments, as the engine reads to its marker.
int recording_entry(const char* first, ...) {
    received.assign(1, first);
    va_list rest;
    va_start(rest, first);
    for (std::size_t i = 1; i < expected_count; ++i) received.push_back(va_arg(rest, const char*));
    va_end(rest);
    return static_cast<int>(expected_count) * 3 - 1;
}

TEST(VariadicCall, PassesExactlyTheSlotsWhateverTheCount) {
    const std::size_t limit = jweb::typed_call_limit;
    for (std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{13}, limit - 1, limit, limit + 1,
                              limit + 2, std::size_t{200}, std::size_t{5000}}) {
        std::vector<std::string> texts(count);
        jweb::ArgVector vector = jweb::allocate_arg_vector(count, 0);
        ASSERT_NE(vector.slots, nullptr);
        for (std::size_t i = 0; i < count; ++i) {
            texts[i] = "argument " + std::to_string(i);
            vector.slots[i] = i % 7 == 3 ? nullptr : texts[i].c_str();
        }
        expected_count = count;
        const jint result = jweb::call_variadic_entry(reinterpret_cast<jweb::EngineEntry>(&recording_entry), count,
                                                      vector.slots);
        EXPECT_EQ(result, static_cast<jint>(count) * 3 - 1) << count;
        ASSERT_EQ(received.size(), count);
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(received[i], vector.slots[i]) << count << " slot " << i;
        jweb::free_arg_vector(vector);
    }
}

TEST(VariadicCall, NullEntryIsNotCalled) {
    const char* one[1] = {"x"};
    EXPECT_EQ(jweb::call_variadic_entry(nullptr, 1, one), jweb::JWEB_ERR_CALL);
}

// A C++ exception must unwind through the call's own frames, a fault must
// come back through the guard's jump.
[[gnu::noinline]] int throwing_entry(const char* first, ...) { throw std::string(first); }
[[gnu::noinline, gnu::no_sanitize("undefined")]] int faulting_entry(const char*, ...) {
    volatile int* volatile nowhere = nullptr;
    return *nowhere;
}

TEST(VariadicCall, FailuresOfTheEntryReachTheGuardWhateverTheCount) {
    const std::size_t limit = jweb::typed_call_limit;
    for (auto entry : {&throwing_entry, &faulting_entry}) {
        for (std::size_t count : {std::size_t{3}, limit, limit + 1, limit + 2, std::size_t{5001}}) {
            std::vector<const char*> slots(count + jweb::variadic_scratch_words(count), "x");
            jint result = 7;
            const bool called = jweb::call_guarded(
                [=, &slots] {
                    return jweb::call_variadic_entry(reinterpret_cast<jweb::EngineEntry>(entry), count, slots.data());
                },
                result);
            EXPECT_FALSE(called) << count;
            EXPECT_EQ(result, 7) << count;
        }
    }
}

}  // namespace
