#include "guard/linux/thread_end_linux.h"

#include <dlfcn.h>
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace jweb::guard_detail {

namespace {

std::atomic<bool> thread_ended{false};

void exit_status_of_a_run_with_an_ended_thread(int status, void*) {
    if (status != 0) return;
    std::fflush(nullptr);  // _exit, unlike exit, flushes nothing
    _exit(thread_ended_exit_status);
}

}  // namespace

void note_thread_ended_inside_call() noexcept {
    char name[16] = "?";
    pthread_getname_np(pthread_self(), name, sizeof name);
    char line[160];
    const int length = std::snprintf(line, sizeof line,
                                     "jwebnative: thread \"%s\" ended inside an engine call (pthread_exit or "
                                     "cancellation); the process's exit status 0 becomes %d\n",
                                     name, thread_ended_exit_status);
    if (length > 0) {
        const ssize_t written = write(STDERR_FILENO, line, std::strlen(line));
        static_cast<void>(written);
    }
    if (thread_ended.exchange(true)) return;
    // The exit handler stays in this library: kept loaded from now on, even
    // when its class loader goes.
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&exit_status_of_a_run_with_an_ended_thread), &self) != 0 &&
        self.dli_fname != nullptr && dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr)
        on_exit(exit_status_of_a_run_with_an_ended_thread, nullptr);
}

}  // namespace jweb::guard_detail
