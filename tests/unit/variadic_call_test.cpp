// The variadic call by count: typed calls up to the limit, padded calls for
// marked lists up to the largest padded size, the long-list path beyond, the
// neighbours of every switch-over point included; and failures of the entry
// leaving every path for the guard.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "frame/arg_vector.h"
#include "frame/result_codes.h"
#include "frame/variadic_call.h"
#include "guard/guard.h"
#include "support/list_recorder.h"
#include "support/processor_faults.h"

namespace {

using list_recorder::expected_count;
using list_recorder::received;
using list_recorder::recording_entry;

// Every switch-over point and both its neighbours: the typed calls' limit,
// each padded call's size, the long-list path beyond the largest.
std::vector<std::size_t> counts_across_every_switch() {
    std::vector<std::size_t> counts{1, 2, 13, 200, 10'000};
    for (std::size_t size = jweb::typed_call_limit; size <= jweb::largest_padded_call; size *= 2)
        counts.insert(counts.end(), {size - 1, size, size + 1});
    return counts;
}

// What the call passes: exactly the list, or for a padded call the list and
// null pointers up to the call's size.
std::size_t passed_count(std::size_t count, jweb::ListEnd end) {
    return jweb::takes_padded_call(count, end) ? jweb::padded_call_size(count) : count;
}

TEST(VariadicCall, PassesExactlyTheSlotsWhateverTheCountAndNullsAfterAMarkedList) {
    for (jweb::ListEnd end : {jweb::ListEnd::exact, jweb::ListEnd::marker}) {
        for (std::size_t count : counts_across_every_switch()) {
            std::vector<std::string> texts(count);
            jweb::ArgVector vector = jweb::allocate_arg_vector(count, 0, end);
            ASSERT_NE(vector.slots, nullptr);
            for (std::size_t i = 0; i < count; ++i) {
                texts[i] = "argument " + std::to_string(i);
                vector.slots[i] = i % 7 == 3 ? nullptr : texts[i].c_str();
            }
            const std::size_t passed = passed_count(count, end);
            expected_count = passed;
            const jint result = jweb::call_variadic_entry(reinterpret_cast<jweb::EngineEntry>(&recording_entry), count,
                                                          vector.slots, end);
            EXPECT_EQ(result, static_cast<jint>(passed) * 3 - 1) << count;
            ASSERT_EQ(received.size(), passed);
            for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(received[i], vector.slots[i]) << count << " slot " << i;
            for (std::size_t i = count; i < passed; ++i) ASSERT_EQ(received[i], nullptr) << count << " padding " << i;
            jweb::free_arg_vector(vector);
        }
    }
}

// A C++ exception must unwind through the call's own frames, a fault must
// come back through the guard's jump.
[[gnu::noinline]] int throwing_entry(const char* first, ...) { throw std::string(first); }
[[gnu::noinline]] int faulting_entry(const char*, ...) { return processor_faults::read_null_pointer(); }

TEST(VariadicCall, FailuresOfTheEntryReachTheGuardWhateverTheCount) {
    const std::size_t limit = jweb::typed_call_limit;
    const std::size_t largest = jweb::largest_padded_call;
    for (auto entry : {&throwing_entry, &faulting_entry}) {
        for (jweb::ListEnd end : {jweb::ListEnd::exact, jweb::ListEnd::marker}) {
            for (std::size_t count : {std::size_t{3}, limit, limit + 1, std::size_t{600}, largest, largest + 1}) {
                std::vector<const char*> slots(count + jweb::variadic_scratch_words(count, end), "x");
                jint result = 7;
                const bool called = jweb::call_guarded(
                    [=, &slots] {
                        return jweb::call_variadic_entry(reinterpret_cast<jweb::EngineEntry>(entry), count,
                                                         slots.data(), end);
                    },
                    result);
                EXPECT_FALSE(called) << count;
                EXPECT_EQ(result, 7) << count;
            }
        }
    }
}

}  // namespace
