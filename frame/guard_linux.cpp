#include "frame/guard_linux.h"

#include <pthread.h>

#include "frame/call_mask_linux.h"
#include "frame/fault_handler_linux.h"
#include "frame/signal_stack_pool_linux.h"

namespace jweb::guard_detail {

constinit thread_local ArmedGuard* volatile armed_guard __attribute__((tls_model("initial-exec"))) = nullptr;
constinit thread_local bool thread_prepared __attribute__((tls_model("initial-exec"))) = false;

namespace {

// The fault handlers and the first signal stacks, at the first guarded call
// in the process (fault_handler_linux.h says why not at load).
pthread_once_t install_once = PTHREAD_ONCE_INIT;

void install_process_wide() {
    make_signal_stack_pool();
    install_fault_handlers();
}

}  // namespace

void prepare_thread() noexcept {
    pthread_once(&install_once, install_process_wide);
    keep_call_mask();
    if (give_thread_signal_stack()) thread_prepared = true;  // else the next call tries again
}

void restore_call_mask() noexcept { put_back_call_mask(); }

}  // namespace jweb::guard_detail
