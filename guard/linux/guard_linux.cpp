#include "guard/linux/guard_linux.h"

#include <pthread.h>

#include <atomic>

#include "guard/linux/call_mask_linux.h"
#include "guard/linux/fault_handler_linux.h"
#include "guard/linux/signal_stack_pool_linux.h"
#include "guard/linux/stack_headroom_linux.h"

namespace jweb::guard_detail {

constinit thread_local ArmedGuard* volatile armed_guard __attribute__((tls_model("initial-exec"))) = nullptr;
constinit thread_local bool thread_prepared __attribute__((tls_model("initial-exec"))) = false;
constinit thread_local bool signal_stack_from_pool __attribute__((tls_model("initial-exec"))) = false;

namespace {

// The fault handlers and the first signal stacks, at the first guarded call
// in the process (fault_handler_linux.h says why not at load).
pthread_once_t install_once = PTHREAD_ONCE_INIT;
// The first caller's JNI function table: there is one Java runtime in a process.
std::atomic<const void*> runtime_jni_functions{nullptr};

void install_process_wide() {
    make_signal_stack_pool();
    install_fault_handlers(runtime_jni_functions.load());
}

}  // namespace

void prepare_thread(const void* jni_functions) noexcept {
    const void* none = nullptr;
    runtime_jni_functions.compare_exchange_strong(none, jni_functions);
    pthread_once(&install_once, install_process_wide);
    keep_call_mask();
    const bool given = give_thread_signal_stack();
    close_stack_headroom();
    if (given) thread_prepared = true;  // else the next call tries again
}

}  // namespace jweb::guard_detail
