// What the x86-64 and x86 structured frames share: the assembly frame's entry,
// which exceptions its handler takes, and what follows a taken one.
#pragma once

#include <malloc.h>
#include <windows.h>

#include "guard/win32/guard_win32.h"

extern "C" {
// Runs call(context) in the frame: 0 when it returned, else the taken
// exception's code with bit 32 set.
unsigned long long jweb_structured_frame(void (*call)(void*), void* context);
}

namespace jweb::guard_detail {

// Every structured exception but g++'s, and not the calls the unwind itself
// makes of the handler.
inline bool frame_takes(const EXCEPTION_RECORD* record) {
    return (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) == 0 &&
           !is_gcc_exception(record->ExceptionCode);
}

// True when the frame's call returned. After a stack overflow the guard page
// is used up: put back, or the next overflow on this thread ends the process.
inline bool frame_returned(unsigned long long outcome) {
    if (outcome == 0) return true;
    if (static_cast<DWORD>(outcome) == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
    return false;
}

}  // namespace jweb::guard_detail
