// The calling thread's kernel id and name on Linux.

#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "thread_identity.h"

namespace standin_engine {

namespace {

thread_local long long t_tid = 0;  // 0: not read yet

// A forked child's one thread has a new id.
[[maybe_unused]] const int g_atfork_registered = pthread_atfork(nullptr, nullptr, [] { t_tid = 0; });

}  // namespace

long long current_tid() {
    // The system call itself: glibc has gettid only from 2.30.
    if (t_tid == 0) t_tid = static_cast<long long>(syscall(SYS_gettid));
    return t_tid;
}

std::string read_thread_name() {
    char buf[17] = {};
    if (prctl(PR_GET_NAME, buf) != 0) buf[0] = '\0';
    return buf;
}

}  // namespace standin_engine
