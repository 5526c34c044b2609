// What a fault handler reads from the interrupted context, per processor.
#pragma once

#if defined(__x86_64__)
#include "guard/linux/fault_context_x86_64.h"
#elif defined(__aarch64__)
#include "guard/linux/fault_context_aarch64.h"
#elif defined(__i386__)
#include "guard/linux/fault_context_i386.h"
#else
#error "the faulting instruction's address of this processor"
#endif
