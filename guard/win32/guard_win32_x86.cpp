// The x86 guard: the handler of the registration record that
// guard_win32_x86.S pushes around the call, and the C++ side of the frame.
#include <malloc.h>
#include <windows.h>

#include "guard/win32/guard_win32.h"

extern "C" {
unsigned long long jweb_structured_frame(void (*call)(void*), void* context);
[[noreturn]] void jweb_structured_frame_resume(void* record, EXCEPTION_RECORD* exception);
EXCEPTION_DISPOSITION __cdecl jweb_structured_frame_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                            void* dispatch);
}

// Takes every structured exception but g++'s, and never returns for one:
// resumes the frame, which reports the code. The calls of the unwind itself
// (flagged as unwinding) pass.
extern "C" EXCEPTION_DISPOSITION __cdecl jweb_structured_frame_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                                       void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    if (jweb::guard_detail::is_gcc_exception(record->ExceptionCode)) return ExceptionContinueSearch;
    jweb_structured_frame_resume(frame, record);
}

namespace {

struct CatchingCall {
    void (*call)(void*);
    void* context;
    bool threw;
};

// i686 g++ unwinds by DWARF tables and knows nothing of the record on the
// chain: a C++ exception that left the frame would leave its record behind on
// a stack that is gone. So it is caught here, inside the frame.
void run_catching(void* p) {
    auto* c = static_cast<CatchingCall*>(p);
    try {
        c->call(c->context);
    } catch (...) {
        c->threw = true;
    }
}

}  // namespace

namespace jweb::guard_detail {

bool run_in_structured_frame(void (*call)(void*), void* context) {
    CatchingCall catching{call, context, false};
    const unsigned long long outcome = jweb_structured_frame(run_catching, &catching);
    if (outcome == 0) return !catching.threw;
    // The overflow used up the stack's guard page; put it back, or the next
    // overflow on this thread would end the process.
    if (static_cast<DWORD>(outcome) == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
    return false;
}

}  // namespace jweb::guard_detail
