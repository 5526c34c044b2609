// Reading our own memory on Linux without faulting: process_vm_readv on
// ourselves, and where the System V x86-64 va_list keeps the next argument.

#include <pthread.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "checked_read.h"

namespace standin_engine {

namespace {

std::atomic<bool> g_probe_unavailable{false};
std::atomic<pid_t> g_pid{0};  // for process_vm_readv; 0: not read yet

// A forked child has a new pid.
[[maybe_unused]] const int g_atfork_registered =
    pthread_atfork(nullptr, nullptr, [] { g_pid.store(0, std::memory_order_relaxed); });

}  // namespace

// Where the kernel refuses the probe (a seccomp filter), falls back to a plain copy.
bool copy_checked(void* dst, const void* src, std::size_t n) {
    if (g_probe_unavailable.load(std::memory_order_relaxed)) {
        std::memcpy(dst, src, n);
        return true;
    }
    pid_t pid = g_pid.load(std::memory_order_relaxed);
    if (pid == 0) {
        pid = getpid();
        g_pid.store(pid, std::memory_order_relaxed);
    }
    iovec local{dst, n};
    iovec remote{const_cast<void*>(src), n};
    const ssize_t got = process_vm_readv(pid, &local, 1, &remote, 1, 0);
    if (got == static_cast<ssize_t>(n)) return true;
    if (got < 0 && (errno == ENOSYS || errno == EPERM)) {
        g_probe_unavailable.store(true, std::memory_order_relaxed);
        std::memcpy(dst, src, n);
        return true;
    }
    return false;
}

// On x86-64 the first register-passed arguments come from the register save
// area, the rest from the caller's stack, whose end a runaway read can reach.
// Elsewhere slots are not checked yet.
bool next_slot_readable([[maybe_unused]] va_list* ap) {
#if defined(__x86_64__)
    struct SysVVaList {
        unsigned gp_offset;
        unsigned fp_offset;
        void* overflow_arg_area;
        void* reg_save_area;
    };
    static_assert(sizeof(va_list) == sizeof(SysVVaList));
    SysVVaList v;
    std::memcpy(&v, *ap, sizeof v);
    if (v.gp_offset < 6 * 8) return true;  // still in the six saved registers
    char slot[sizeof(void*)];
    return copy_checked(slot, v.overflow_arg_area, sizeof slot);
#else
    return true;
#endif
}

}  // namespace standin_engine
