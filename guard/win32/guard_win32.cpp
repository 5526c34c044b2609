// The structured exception handler of the guard's frame (guard_win32_frame.S).
#include "guard/win32/structured_frame_win32.h"

extern "C" {
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
    if (!jweb::guard_detail::frame_takes(record)) return ExceptionContinueSearch;
    const DWORD resume_rva = *static_cast<const DWORD*>(dispatch->HandlerData);
    auto* resume = reinterpret_cast<void*>(dispatch->ImageBase + resume_rva);
    RtlUnwindEx(frame, resume, record, reinterpret_cast<void*>(caught_bit | record->ExceptionCode),
                dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch;  // not reached: RtlUnwindEx does not return
}

namespace jweb::guard_detail {

bool run_in_structured_frame(void (*call)(void*), void* context) {
    return frame_returned(jweb_structured_frame(call, context));
}

}  // namespace jweb::guard_detail
