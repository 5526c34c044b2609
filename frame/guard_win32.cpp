// The structured exception frame of the Windows guard, built with a compiler
// that understands __try/__except (MSVC, or clang with -fms-extensions).
#include <windows.h>

#include "frame/guard_win32.h"

namespace jweb::guard_detail {

namespace {
// g++'s own C++ exceptions pass through to the C++ handler around the call.
constexpr DWORD gcc_exception_codes[] = {0x20474343, 0x21474343};

int filter(DWORD code) {
    for (DWORD own : gcc_exception_codes)
        if (code == own) return EXCEPTION_CONTINUE_SEARCH;
    return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

bool run_with_structured_frame(int (*call)(void*), void* context, int& result) {
    __try {
        result = call(context);
    } __except (filter(GetExceptionCode())) {
        if (GetExceptionCode() == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
        return false;
    }
    return true;
}

}  // namespace jweb::guard_detail
