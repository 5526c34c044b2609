// What the Linux guard costs:
//   - a guarded call on a thread that has made one before, beside the same
//     call unguarded: the normal path, which makes no system call;
//   - a thread's first guarded call, which sets up its signal stack (freed
//     when the thread ends), beside a thread that makes an unguarded call;
//   - a caught fault, from the fault to the return of call_guarded.
#include <benchmark/benchmark.h>

#include <thread>

#include "guard/guard.h"

namespace {

[[gnu::noinline]] int engine_like_call(int x) {
    benchmark::DoNotOptimize(x);
    return x + 1;
}

[[gnu::noinline]] int faulting_call() {
    volatile int* volatile nowhere = nullptr;
    return *nowhere;
}

void BM_UnguardedCall(benchmark::State& state) {
    int x = 0;
    for (auto _ : state) benchmark::DoNotOptimize(x = engine_like_call(x));
}

void BM_GuardedCall(benchmark::State& state) {
    int x = 0;
    for (auto _ : state) {
        int result = 0;
        benchmark::DoNotOptimize(jweb::call_guarded([x] { return engine_like_call(x); }, result));
        x = result;
    }
}

void BM_NewThreadUnguardedCall(benchmark::State& state) {
    for (auto _ : state) std::thread([] { benchmark::DoNotOptimize(engine_like_call(1)); }).join();
}

void BM_NewThreadFirstGuardedCall(benchmark::State& state) {
    for (auto _ : state)
        std::thread([] {
            int result = 0;
            benchmark::DoNotOptimize(jweb::call_guarded([] { return engine_like_call(1); }, result));
        }).join();
}

void BM_CaughtFault(benchmark::State& state) {
    for (auto _ : state) {
        int result = 0;
        benchmark::DoNotOptimize(jweb::call_guarded([] { return faulting_call(); }, result));
    }
}

BENCHMARK(BM_UnguardedCall);
BENCHMARK(BM_GuardedCall);
BENCHMARK(BM_NewThreadUnguardedCall)->UseRealTime();
BENCHMARK(BM_NewThreadFirstGuardedCall)->UseRealTime();
BENCHMARK(BM_CaughtFault);

}  // namespace
