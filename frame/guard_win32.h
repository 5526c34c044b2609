// Windows guard: C++ exceptions are caught here; processor faults and foreign
// exceptions arrive as structured exceptions, which the structured frame in
// guard_win32.cpp turns into a failed outcome.
#pragma once

#include <type_traits>

namespace jweb {

namespace guard_detail {
// Runs call(context) inside a structured exception frame; false when a
// structured exception other than a C++ one ended it.
bool run_with_structured_frame(int (*call)(void*), void* context, int& result);
}  // namespace guard_detail

// Nothing to install: structured exceptions need no process-wide handler.
inline void install_fault_handlers() {}

template <class Result, class Call>
bool call_guarded(Call call, Result& result) noexcept {
    static_assert(std::is_trivially_destructible_v<Call>,
                  "a fault leaves the guarded call without running destructors");
    struct Context {
        Call* call;
        Result* result;
        bool threw;
    } context{&call, &result, false};
    auto run = [](void* p) -> int {
        auto* c = static_cast<Context*>(p);
        try {
            *c->result = (*c->call)();
        } catch (...) {
            c->threw = true;
        }
        return 0;
    };
    int ignored = 0;
    const bool completed = guard_detail::run_with_structured_frame(run, &context, ignored);
    return completed && !context.threw;
}

}  // namespace jweb
