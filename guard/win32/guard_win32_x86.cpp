// The x86 guard: the handler of the registration record that
// guard_win32_x86.S pushes around the call, and the C++ side of the frame.
#include "guard/win32/structured_frame_win32.h"

extern "C" {
[[noreturn]] void jweb_structured_frame_resume(void* record, EXCEPTION_RECORD* exception);
EXCEPTION_DISPOSITION __cdecl jweb_structured_frame_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                            void* dispatch);
}

// Takes every structured exception but g++'s, and never returns for one:
// resumes the frame, which reports the code. The calls of the unwind itself
// (flagged as unwinding) pass.
extern "C" EXCEPTION_DISPOSITION __cdecl jweb_structured_frame_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                                       void*) {
    if (!jweb::guard_detail::frame_takes(record)) return ExceptionContinueSearch;
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
    return frame_returned(jweb_structured_frame(run_catching, &catching)) && !catching.threw;
}

}  // namespace jweb::guard_detail
