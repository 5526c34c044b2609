// The Windows guard alone: every kind of failure, again and again, on one
// thread and on several at once, called directly and through the long-list
// routine, the thread's handler chain as it was after each; and the
// exceptions it must leave to the code that handles them.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <ios>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame/variadic_call.h"
#include "guard/guard.h"
#include "tests/unit/support/processor_faults.h"

// The handler of the guard's frame (guard_win32.cpp, guard_win32_x86.cpp).
extern "C" EXCEPTION_DISPOSITION jweb_structured_frame_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                               void* dispatch);

namespace {

// The head of the thread's chain of handler records (FS:[0]): what the x86
// frame pushes and must put back. x86-64 keeps no chain.
void* handler_chain() {
#if defined(__i386__)
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
#else
    return nullptr;
#endif
}

// Above user space on both: 64-bit kernel space, and the last 64 KB of a
// 32-bit address space, which Windows never maps.
const std::uintptr_t kernel_address =
    sizeof(void*) == 8 ? static_cast<std::uintptr_t>(0xFFFF800000000000ull) : static_cast<std::uintptr_t>(0xFFFFF000u);

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

const Kind failures[] = {Kind::throw_int,           Kind::throw_runtime_error,  Kind::throw_unrelated,
                         Kind::read_null,           Kind::write_kernel_address, Kind::divide_by_zero,
                         Kind::illegal_instruction, Kind::raise_msvc_throw,     Kind::raise_continuable};

thread_local Kind t_kind = Kind::none;

[[gnu::noinline]] int fail(Kind kind) {
    switch (kind) {
        case Kind::throw_int: throw 1;
        case Kind::throw_runtime_error: throw std::runtime_error("x");
        case Kind::throw_unrelated: throw Unrelated{2};
        case Kind::read_null: return processor_faults::read_null_pointer();
        case Kind::write_kernel_address: *reinterpret_cast<volatile int*>(kernel_address) = 1; return 0;
        case Kind::divide_by_zero: return processor_faults::divide_by_zero();
        case Kind::illegal_instruction: processor_faults::execute_undefined_instruction(); return 0;
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
    void* const chain = handler_chain();
    for (Route route : {Route::direct, Route::long_list}) {
        for (int round = 0; round < 50; ++round) {
            for (Kind kind : failures) {
                int result = -1;
                EXPECT_FALSE(guarded(kind, route, result)) << static_cast<int>(kind);
                EXPECT_EQ(result, -1) << "a failed call leaves the result alone";
                EXPECT_EQ(handler_chain(), chain) << static_cast<int>(kind);
            }
            int result = -1;
            EXPECT_TRUE(guarded(Kind::none, route, result));
            EXPECT_EQ(result, 42);
            EXPECT_EQ(handler_chain(), chain);
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
            void* const chain = handler_chain();
            for (int i = 0; i < 200; ++i) {
                int result = 0;
                const Kind kind = failures[static_cast<std::size_t>(i + t) % std::size(failures)];
                if (!guarded(kind, i % 2 ? Route::direct : Route::long_list, result) && handler_chain() == chain)
                    ++caught;
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

// What the frame's handler must pass on untaken: g++'s own exceptions, which
// belong to the C++ handlers, and its calls during an unwind in progress.
TEST(GuardWin32, HandlerPassesGccExceptionsAndUnwinds) {
    struct Passed {
        DWORD code;
        DWORD flags;
    };
    const Passed passed[] = {
        {0x20474343, 0},  // g++ throw
        {0x21474343, 0},  // g++ unwind to a catch
        {0x22474343, 0},  // g++ forced unwind
        {0x20474343, EXCEPTION_NONCONTINUABLE},
        {EXCEPTION_ACCESS_VIOLATION, EXCEPTION_UNWINDING},
        {0xE06D7363, EXCEPTION_NONCONTINUABLE | EXCEPTION_UNWINDING},
        {EXCEPTION_INT_DIVIDE_BY_ZERO, EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND},
    };
    for (const Passed& p : passed) {
        EXCEPTION_RECORD record{};
        record.ExceptionCode = p.code;
        record.ExceptionFlags = p.flags;
        CONTEXT context{};
        EXPECT_EQ(jweb_structured_frame_handler(&record, nullptr, &context, nullptr), ExceptionContinueSearch)
            << std::hex << p.code << " flags " << p.flags;
    }
}

}  // namespace
