// The guard alone: every kind of failure, again and again, on one thread and
// on several at once; and what it must leave alone.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "guard/guard.h"
#include "tests/unit/support/held_lock.h"
#include "tests/unit/support/memory_advice.h"
#include "tests/unit/support/processor_faults.h"

namespace {

struct Unrelated {
    int code;
};

enum class Kind {
    none,
    throw_int,
    throw_runtime_error,
    throw_unrelated,
    segv,
    fpe,
    ill,
    bus_by_kill,
    block_then_segv,
    block_then_throw,
    segv_beside_signal_stack_copy
};

// What an engine blocks around work it wants left alone, the Java runtime's
// SIGFPE and samplers' signals among them, before it fails.
void block_signals() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : {SIGFPE, SIGUSR2, SIGPIPE, SIGALRM, SIGPROF}) sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
}

// What code that sets the thread's signal stack leaves on its stack: a copy of
// the stack's description, here where a handler's frame has it, with no signal
// blocked and a stack pointer above. A fault beside it, with a signal
// blocked, is still the engine's.
[[gnu::noinline]] int segv_beside_signal_stack_copy() {
    ucontext_t copy{};
    sigaltstack(nullptr, &copy.uc_stack);
    const auto above = reinterpret_cast<std::uintptr_t>(&copy + 1) + 64;
#if defined(__x86_64__)
    copy.uc_mcontext.gregs[REG_RSP] = static_cast<greg_t>(above);
#elif defined(__aarch64__)
    copy.uc_mcontext.sp = above;
#endif
    asm volatile("" : : "r"(&copy) : "memory");
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &one, nullptr);
    return processor_faults::read_null_pointer();
}

[[gnu::noinline]] int fail(Kind kind) {
    switch (kind) {
        case Kind::block_then_segv: block_signals(); return processor_faults::read_null_pointer();
        case Kind::block_then_throw: block_signals(); throw std::runtime_error("blocked");
        case Kind::segv_beside_signal_stack_copy: return segv_beside_signal_stack_copy();
        case Kind::throw_int: throw 1;
        case Kind::throw_runtime_error: throw std::runtime_error("x");
        case Kind::throw_unrelated: throw Unrelated{2};
        case Kind::segv: return processor_faults::read_null_pointer();
        case Kind::fpe: return processor_faults::divide_by_zero();
        case Kind::ill: processor_faults::execute_undefined_instruction(); return 0;
        case Kind::bus_by_kill: raise(SIGBUS); return 0;
        case Kind::none: break;
    }
    return 42;
}

// The processor faults this processor makes.
std::vector<Kind> fault_kinds() {
    std::vector<Kind> kinds = {Kind::segv, Kind::ill};
    if (processor_faults::division_by_zero_traps) kinds.push_back(Kind::fpe);
    return kinds;
}

// Every kind that fails here. The kinds that block signals come first, so
// that a fault after them meets whatever mask they left.
std::vector<Kind> failing_kinds() {
    std::vector<Kind> kinds = {Kind::block_then_segv, Kind::block_then_throw,    Kind::segv_beside_signal_stack_copy,
                               Kind::throw_int,       Kind::throw_runtime_error, Kind::throw_unrelated};
    for (Kind fault : fault_kinds()) kinds.push_back(fault);
    return kinds;
}

bool guarded(Kind kind, int& result) {
    return jweb::call_guarded([kind] { return fail(kind); }, result);
}

volatile bool keep_recursing = true;  // always; the compiler cannot know

// Recurses until the stack runs out: not a tail call, every frame written.
[[gnu::noinline, gnu::noclone]] int overflow_stack(volatile char* previous) {
    volatile char frame[256];
    for (volatile char& c : frame) c = previous ? previous[0] : 1;
    if (keep_recursing) return overflow_stack(frame) + frame[1];
    return frame[0];
}

int lines_in_maps() {
    std::ifstream maps("/proc/self/maps");
    int lines = 0;
    for (std::string line; std::getline(maps, line);) ++lines;
    return lines;
}

// The process's mappings while `count` threads are alive and waiting, each
// having run `each` first.
template <class Each>
int mappings_with_threads(int count, Each each) {
    std::mutex mutex;
    std::condition_variable changed;
    int ready = 0;
    bool release = false;
    std::vector<pthread_t> threads(static_cast<std::size_t>(count));
    struct Shared {
        Each* each;
        std::mutex* mutex;
        std::condition_variable* changed;
        int* ready;
        bool* release;
    } shared{&each, &mutex, &changed, &ready, &release};
    pthread_attr_t small;
    pthread_attr_init(&small);
    pthread_attr_setstacksize(&small, 256 * 1024);
    int started = 0;
    for (pthread_t& thread : threads) {
        const int made = pthread_create(
            &thread, &small,
            [](void* p) -> void* {
                auto* s = static_cast<Shared*>(p);
                (*s->each)();
                std::unique_lock<std::mutex> lock(*s->mutex);
                ++*s->ready;
                s->changed->notify_all();
                s->changed->wait(lock, [s] { return *s->release; });
                return nullptr;
            },
            &shared);
        if (made != 0) break;
        ++started;
    }
    pthread_attr_destroy(&small);
    int lines = 0;
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return ready == started; });
        lines = lines_in_maps();
        release = true;
        changed.notify_all();
    }
    for (int i = 0; i < started; ++i) pthread_join(threads[static_cast<std::size_t>(i)], nullptr);
    EXPECT_EQ(started, count);
    return lines;
}

// Writes upward from `from`, over whatever frames lie above it. Its own frame
// lies below, so the loop itself is never overwritten.
[[gnu::noinline, gnu::no_sanitize("address")]] void write_upward(volatile char* from, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) from[i] = 0x41;
}

// An engine function overrunning a 16-byte local buffer: its return then
// jumps through what it wrote.
[[gnu::noinline, gnu::no_stack_protector, gnu::no_sanitize("address")]] int overrun_local_buffer(std::size_t bytes) {
    volatile char buffer[16];
    write_upward(buffer, bytes);
    return 0;
}

TEST(Guard, CatchesEveryKindManyTimesOnOneThread) {
    for (int round = 0; round < 200; ++round) {
        for (Kind kind : failing_kinds()) {
            int result = -1;
            EXPECT_FALSE(guarded(kind, result));
            EXPECT_EQ(result, -1) << "a failed call leaves the result alone";
        }
        int result = -1;
        EXPECT_TRUE(guarded(Kind::none, result));
        EXPECT_EQ(result, 42);
    }
}

TEST(Guard, CatchesFaultsOnSeveralThreadsAtOnce) {
    const std::vector<Kind> faults = fault_kinds();
    std::atomic<int> caught{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&caught, &faults, t] {
            for (int i = 0; i < 250; ++i) {
                int result = 0;
                if (!guarded(faults[static_cast<std::size_t>(i + t) % faults.size()], result)) ++caught;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(caught.load(), 8 * 250);
}

TEST(Guard, OverrunOfAnEngineStackBufferLandsInTheBand) {
    for (std::size_t bytes : {200, 1000}) {
        for (int round = 0; round < 3; ++round) {
            int result = -1;
            EXPECT_FALSE(jweb::call_guarded([bytes] { return overrun_local_buffer(bytes); }, result)) << bytes;
            EXPECT_EQ(result, -1);
        }
    }
    int result = 0;
    EXPECT_TRUE(guarded(Kind::none, result));
}

// A thread that ends inside the call (pthread_exit, cancellation) unwinds
// through the guard, which lets the unwind go on, disarmed.
TEST(Guard, ThreadEndingInsideTheCallUnwindsOnWithTheGuardDisarmed) {
    struct Run {
        bool cancel;
        std::atomic<bool> inside{false};
        bool unwound = false;
        bool disarmed = false;
    };
    for (bool cancel : {false, true}) {
        Run run{cancel};
        pthread_t thread;
        ASSERT_EQ(pthread_create(
                      &thread, nullptr,
                      [](void* p) -> void* {
                          auto* r = static_cast<Run*>(p);
                          struct Watch {
                              Run* r;
                              ~Watch() {
                                  r->unwound = true;
                                  r->disarmed = jweb::guard_detail::armed_guard == nullptr;
                              }
                          } watch{r};
                          int result = 0;
                          jweb::call_guarded(
                              [r]() -> int {
                                  r->inside = true;
                                  if (!r->cancel) pthread_exit(nullptr);
                                  for (;;) pause();  // a cancellation point
                              },
                              result);
                          return p;  // not reached
                      },
                      &run),
                  0);
        if (cancel) {
            while (!run.inside) usleep(100);
            pthread_cancel(thread);
        }
        void* exit_value = &run;
        ASSERT_EQ(pthread_join(thread, &exit_value), 0);
        EXPECT_EQ(exit_value, cancel ? PTHREAD_CANCELED : nullptr);
        EXPECT_TRUE(run.unwound) << cancel;
        EXPECT_TRUE(run.disarmed) << cancel;
    }
}

// Whatever the call blocked before it failed, and whichever way it failed.
TEST(Guard, SignalMaskAfterAFailureIsTheOneTheCallBeganWith) {
    for (Kind kind : failing_kinds()) {
        sigset_t before, after;
        pthread_sigmask(SIG_SETMASK, nullptr, &before);
        int result = 0;
        EXPECT_FALSE(guarded(kind, result));
        pthread_sigmask(SIG_SETMASK, nullptr, &after);
        for (int s = 1; s < NSIG; ++s)
            EXPECT_EQ(sigismember(&before, s), sigismember(&after, s))
                << "kind " << static_cast<int>(kind) << ", signal " << s;
    }
}

// A thread that comes with a signal stack (a sanitizer gives each one) keeps
// it, and takes none from the pool: the tests of the pool's stacks drop it.
void drop_own_signal_stack() {
    stack_t none{};
    none.ss_flags = SS_DISABLE;
    sigaltstack(&none, nullptr);
}

// Where transparent huge pages are always on, a signal stack, of which a
// handler touches a few pages, must not take 2 MB ones.
TEST(Guard, SignalStacksAreNotBackedByHugePages) {
    const void* stack_base = nullptr;
    std::thread([&stack_base] {
        drop_own_signal_stack();
        int result = 0;
        EXPECT_TRUE(guarded(Kind::none, result));
        stack_t stack{};
        ASSERT_EQ(sigaltstack(nullptr, &stack), 0);
        ASSERT_FALSE(stack.ss_flags & SS_DISABLE);
        stack_base = stack.ss_sp;
    }).join();
    ASSERT_NE(stack_base, nullptr);
    EXPECT_TRUE(memory_advice::advised(stack_base, MADV_NOHUGEPAGE));
}

// A fork while another thread holds the lock of the signal stacks' pool: the
// child's new threads still get stacks, instead of waiting for ever on a
// lock whose holder the child does not have.
TEST(Guard, ForkWhileAnotherThreadTakesASignalStackLeavesTheChildWhole) {
    int result = 0;
    ASSERT_TRUE(guarded(Kind::none, result));  // the pool exists
    std::thread holder([] {
        drop_own_signal_stack();
        held_lock::hold_next_lock_on_this_thread();
        int r = 0;
        EXPECT_TRUE(guarded(Kind::none, r));  // its first call takes a stack, under the lock
    });
    if (!held_lock::wait_until_held()) {
        holder.join();
        FAIL() << "the thread's first call took no lock";
    }
    std::thread releaser([] {
        usleep(100 * 1000);
        held_lock::release_held_lock();
    });
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);
        bool called = false;
        std::thread([&called] {
            int r = 0;
            called = guarded(Kind::none, r) && r == 42;
        }).join();
        _exit(called ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    holder.join();
    releaser.join();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child status " << status
        << (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM ? " (waited for ever)" : "");
}

// Each thread's signal stack comes from blocks reserved for many threads, not
// from a mapping of its own: a process of many threads stays far from
// vm.max_map_count.
TEST(Guard, SignalStacksOfAThousandThreadsCostFewMappings) {
    constexpr int threads = 1000;
    const int without = mappings_with_threads(threads, [] {});
    const int with = mappings_with_threads(threads, [] {
        int result = 0;
        EXPECT_TRUE(guarded(Kind::none, result));
    });
    const double per_thread = static_cast<double>(with - without) / threads;
    std::printf(
        "/proc/self/maps with %d threads: %d lines without a guarded call, %d after one each: %.3f more "
        "per thread\n",
        threads, without, with, per_thread);
    EXPECT_LT(per_thread, 0.1);
}

using GuardDeathTest = ::testing::Test;

// Dies of the signal, or of a sanitizer's report of it: either way not caught.
bool died(int status) { return WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0); }

TEST(GuardDeathTest, FaultOutsideAGuardIsNotCaught) { EXPECT_EXIT(fail(Kind::segv), died, ""); }

// A thread whose first guarded call comes when no new mapping can be made
// still gets a signal stack, reserved ahead, and its stack overflow is caught.
TEST(GuardDeathTest, OverflowOnAThreadThatBeganUnderAnAddressSpaceCapIsCaught) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer maps memory of its own at any time";
#endif
    EXPECT_EXIT(
        {
            int result = 0;
            guarded(Kind::none, result);  // the process has made guarded calls before
            std::mutex mutex;
            std::condition_variable changed;
            bool capped = false;
            int caught = 0;
            std::thread late([&] {
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&] { return capped; });
                }
                for (int round = 0; round < 3; ++round) {
                    int r = 0;
                    if (!jweb::call_guarded([] { return overflow_stack(nullptr); }, r)) ++caught;
                }
            });
            rlimit cap{};
            getrlimit(RLIMIT_AS, &cap);
            long pages = 0;
            if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
                std::fclose(statm);
            }
            cap.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
            if (pages == 0 || setrlimit(RLIMIT_AS, &cap) != 0) std::_Exit(2);
            {
                std::lock_guard<std::mutex> lock(mutex);
                capped = true;
            }
            changed.notify_all();
            late.join();
            std::_Exit(caught == 3 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(GuardDeathTest, SignalSentInsideAGuardIsNotTakenForAFault) {
    EXPECT_EXIT(
        {
            int result = 0;
            guarded(Kind::bus_by_kill, result);
        },
        died, "");
}

}  // namespace
