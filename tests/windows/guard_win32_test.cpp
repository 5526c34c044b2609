// The Windows guard alone: every kind of failure, again and again, on one
// thread and on several at once, called directly and through the long-list
// routine; and the exceptions it must leave to the code that handles them.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame/guard.h"
#include "frame/variadic_call.h"

namespace {

struct Unrelated {
    int code;
};

enum class Kind {
    none,
    throw_int,
    throw_runtime_error,
    throw_unrelated,
    read_null,
    write_kernel_address,
    divide_by_zero,
    illegal_instruction,
    raise_msvc_throw,
    raise_continuable,
};

const Kind failures[] = {Kind::throw_int,      Kind::throw_runtime_error, Kind::throw_unrelated,
                         Kind::read_null,      Kind::write_kernel_address, Kind::divide_by_zero,
                         Kind::illegal_instruction, Kind::raise_msvc_throw, Kind::raise_continuable};

thread_local Kind t_kind = Kind::none;

[[gnu::noinline]] int fail(Kind kind) {
    switch (kind) {
        case Kind::throw_int: throw 1;
        case Kind::throw_runtime_error: throw std::runtime_error("x");
        case Kind::throw_unrelated: throw Unrelated{2};
        case Kind::read_null: return *static_cast<volatile int*>(nullptr);
        case Kind::write_kernel_address: *reinterpret_cast<volatile int*>(0xFFFF800000000000ull) = 1; return 0;
        case Kind::divide_by_zero: {
            volatile int zero = 0;
            volatile int one = 1;
            return one / zero;
        }
        case Kind::illegal_instruction: asm volatile("ud2"); return 0;
        case Kind::raise_msvc_throw: {
            const ULONG_PTR msvc_throw[4] = {0x19930520, 0, 0, 0};
            RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 4, msvc_throw);
            return 0;
        }
        case Kind::raise_continuable: RaiseException(0xE0000001, 0, 0, nullptr); return 0;
        case Kind::none: break;
    }
    return 42;
}

// An engine entry with a long list: reads its kind from the thread.
int list_entry(const char*, ...) { return fail(t_kind); }

enum class Route { direct, long_list };

bool guarded(Kind kind, Route route, int& result) {
    if (route == Route::direct) return jweb::call_guarded([kind] { return fail(kind); }, result);
    t_kind = kind;
    static const char* const slots[200] = {};
    return jweb::call_guarded(
        [] {
            return jweb::variadic_detail::jweb_call_long_list(reinterpret_cast<jweb::EngineEntry>(&list_entry), 200,
                                                              const_cast<const char**>(slots));
        },
        result);
}

TEST(GuardWin32, CatchesEveryKindManyTimesOnOneThread) {
    for (Route route : {Route::direct, Route::long_list}) {
        for (int round = 0; round < 50; ++round) {
            for (Kind kind : failures) {
                int result = -1;
                EXPECT_FALSE(guarded(kind, route, result)) << static_cast<int>(kind);
                EXPECT_EQ(result, -1) << "a failed call leaves the result alone";
            }
            int result = -1;
            EXPECT_TRUE(guarded(Kind::none, route, result));
            EXPECT_EQ(result, 42);
        }
    }
}

TEST(GuardWin32, CatchesFaultsOnSeveralThreadsAtOnce) {
    std::atomic<int> caught{0};
    std::atomic<int> starting{4};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&caught, &starting, t] {
            --starting;
            while (starting.load() > 0) std::this_thread::yield();
            for (int i = 0; i < 200; ++i) {
                int result = 0;
                const Kind kind = failures[static_cast<std::size_t>(i + t) % std::size(failures)];
                if (!guarded(kind, i % 2 ? Route::direct : Route::long_list, result)) ++caught;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(caught.load(), 4 * 200);
}

// What the called code handles itself never reaches the guard.
TEST(GuardWin32, LeavesExceptionsTheCalledCodeHandles) {
    int result = 0;
    EXPECT_TRUE(jweb::call_guarded(
        [] {
            try {
                return fail(Kind::throw_runtime_error);
            } catch (const std::runtime_error&) {
                return 7;
            }
        },
        result));
    EXPECT_EQ(result, 7);
    // An inner guard, standing for the engine's own structured handler.
    EXPECT_TRUE(jweb::call_guarded(
        [] {
            int inner = 0;
            return jweb::call_guarded([] { return fail(Kind::read_null); }, inner) ? 0 : 8;
        },
        result));
    EXPECT_EQ(result, 8);
}

}  // namespace
