// A frame as C code built without unwind tables leaves it (C compiled without
// -fexceptions or -funwind-tables): compiled so (CMakeLists.txt), an
// exception thrown below it cannot pass it, and the C++ runtime ends the
// process with std::terminate.

#include "failures.h"

namespace standin_engine {

namespace {
volatile int calls_through = 0;
}

void call_through_frame_without_unwind_tables(void (*function)()) {
    function();
    calls_through = calls_through + 1;  // after the call: no tail call, the frame stays
}

}  // namespace standin_engine
