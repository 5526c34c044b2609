// The structured exception handler of the guard's frame (guard_win32_frame.S).
#include "guard/win32/guard_win32.h"

#include <malloc.h>
#include <windows.h>

extern "C" {
unsigned long long jweb_structured_frame(void (*call)(void*), void* context);
EXCEPTION_DISPOSITION jweb_structured_frame_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                    DISPATCHER_CONTEXT* dispatch);
}

namespace {

constexpr unsigned long long caught_bit = 1ull << 32;

}  // namespace

// Takes every structured exception but g++'s: unwinds the stack down to the
// frame (running the cleanups of the frames in between) and resumes the
// frame at the address its handler data gives, with the code in RAX.
extern "C" EXCEPTION_DISPOSITION jweb_structured_frame_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                               DISPATCHER_CONTEXT* dispatch) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    if (jweb::guard_detail::is_gcc_exception(record->ExceptionCode)) return ExceptionContinueSearch;
    const DWORD resume_rva = *static_cast<const DWORD*>(dispatch->HandlerData);
    auto* resume = reinterpret_cast<void*>(dispatch->ImageBase + resume_rva);
    RtlUnwindEx(frame, resume, record, reinterpret_cast<void*>(caught_bit | record->ExceptionCode),
                dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch;  // not reached: RtlUnwindEx does not return
}

namespace jweb::guard_detail {

bool run_in_structured_frame(void (*call)(void*), void* context) {
    const unsigned long long outcome = jweb_structured_frame(call, context);
    if (outcome == 0) return true;
    // The overflow used up the stack's guard page; put it back, or the next
    // overflow on this thread would end the process.
    if (static_cast<DWORD>(outcome) == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
    return false;
}

}  // namespace jweb::guard_detail
