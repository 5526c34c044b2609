#include "tests/unit/support/held_lock.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <chrono>

extern "C" int __real_pthread_mutex_lock(pthread_mutex_t* mutex);

namespace {

thread_local bool t_hold_next = false;
std::atomic<bool> g_held{false};
std::atomic<bool> g_released{false};

}  // namespace

extern "C" __attribute__((visibility("default"))) int __wrap_pthread_mutex_lock(pthread_mutex_t* mutex) {
    const int locked = __real_pthread_mutex_lock(mutex);
    if (locked != 0 || !t_hold_next) return locked;
    t_hold_next = false;
    g_held = true;
    // Spinning, not waiting on a lock or condition of our own, which would come back here.
    while (!g_released) sched_yield();
    return locked;
}

namespace held_lock {

void hold_next_lock_on_this_thread() {
    g_released = false;
    g_held = false;
    t_hold_next = true;
}

bool wait_until_held() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!g_held && std::chrono::steady_clock::now() < until) sched_yield();
    return g_held;
}

void release_held_lock() { g_released = true; }

}  // namespace held_lock
