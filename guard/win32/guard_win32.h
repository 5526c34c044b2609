// Windows guard: processor faults (access violation, divide by zero, ...) and
// exceptions of foreign code (an engine built with another compiler raises
// 0xE06D7363) arrive as structured exceptions, which a structured frame
// around the call takes: table-based on x86-64 (guard_win32.cpp), a record on
// the thread's handler chain on x86 (guard_win32_x86.cpp). g++ exceptions
// pass the x86-64 frame and are caught by the C++ handler outside it; on x86
// they are caught just inside the frame, which a DWARF unwind would not take
// off the chain.
#pragma once

#include <jni.h>

#include <type_traits>

namespace jweb {

namespace guard_detail {
// Runs call(context) inside a structured exception frame. False when a
// structured exception ended it; a C++ exception passes through (x86-64) or
// also gives false (x86).
bool run_in_structured_frame(void (*call)(void*), void* context);

// g++ raises its own exceptions as structured exceptions with these codes
// (throw, the unwind that ends at a catch, forced unwind): they belong to the
// C++ handlers, and the frame lets them pass.
inline constexpr unsigned long gcc_exception_codes[] = {0x20474343, 0x21474343, 0x22474343};

constexpr bool is_gcc_exception(unsigned long code) {
    for (unsigned long own : gcc_exception_codes)
        if (code == own) return true;
    return false;
}
}  // namespace guard_detail

// Runs call() and stores its result. Returns false when the call ended in a
// C++ exception or a structured exception; `result` is then left as it was.
template <class Result, class Call>
bool call_guarded(Call call, Result& result) noexcept {
    static_assert(std::is_trivially_destructible_v<Call>,
                  "a fault leaves the guarded call without running destructors");
    struct Context {
        Call* call;
        Result* result;
    } context{&call, &result};
    auto run = [](void* p) {
        auto* c = static_cast<Context*>(p);
        *c->result = (*c->call)();
    };
    try {
        return guard_detail::run_in_structured_frame(run, &context);
    } catch (...) {
        return false;
    }
}

// The same for a native method called with `env`, which this guard needs not.
template <class Result, class Call>
bool call_guarded(JNIEnv*, Call call, Result& result) noexcept {
    return call_guarded(call, result);
}

}  // namespace jweb
