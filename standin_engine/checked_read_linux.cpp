// Reading our own memory on Linux without faulting: process_vm_readv on
// ourselves, else a pipe; and where the x86-64 and arm64 va_lists keep the
// next argument.

#include <fcntl.h>
#include <pthread.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "checked_read.h"

namespace standin_engine {

namespace {

std::atomic<bool> g_vm_read_refused{false};
std::atomic<pid_t> g_pid{0};  // for process_vm_readv; 0: not read yet

// A forked child has a new pid.
[[maybe_unused]] const int g_atfork_registered =
    pthread_atfork(nullptr, nullptr, [] { g_pid.store(0, std::memory_order_relaxed); });

// The probe where process_vm_readv is refused (a seccomp filter, or qemu's
// user mode, which lacks it): write() answers EFAULT for an unreadable source
// instead of faulting, and a pipe hands the bytes back. One pipe for the
// process, made on first use and used under a lock; without one, a plain copy.
bool copy_through_pipe(void* dst, const void* src, std::size_t n) {
    static int fds[2] = {-1, -1};
    static const bool have_pipe = pipe2(fds, O_CLOEXEC) == 0;
    if (!have_pipe) {
        std::memcpy(dst, src, n);
        return true;
    }
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    const auto* in = static_cast<const char*>(src);
    auto* out = static_cast<char*>(dst);
    while (n > 0) {
        const std::size_t chunk = n < 4096 ? n : 4096;  // far less than a pipe holds: never blocks
        const ssize_t put = write(fds[1], in, chunk);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        for (ssize_t taken = 0; taken < put;) {
            const ssize_t got = read(fds[0], out + taken, static_cast<std::size_t>(put - taken));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            taken += got;
        }
        in += put;
        out += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

bool copy_checked(void* dst, const void* src, std::size_t n) {
    if (g_vm_read_refused.load(std::memory_order_relaxed)) return copy_through_pipe(dst, src, n);
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
        g_vm_read_refused.store(true, std::memory_order_relaxed);
        return copy_through_pipe(dst, src, n);
    }
    return false;
}

// On x86-64 and arm64 the first register-passed arguments come from the
// register save area, the rest from the caller's stack, whose end a runaway
// read can reach. Elsewhere slots are not checked yet.
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
#elif defined(__aarch64__)
    // AAPCS64: the first eight integer arguments come from the register save
    // area below gr_top while gr_offs is negative, the rest from the stack.
    struct Aapcs64VaList {
        void* stack;
        void* gr_top;
        void* vr_top;
        int gr_offs;
        int vr_offs;
    };
    static_assert(sizeof(va_list) == sizeof(Aapcs64VaList));
    Aapcs64VaList v;
    std::memcpy(&v, ap, sizeof v);
    if (v.gr_offs < 0) return true;
    char slot[sizeof(void*)];
    return copy_checked(slot, v.stack, sizeof slot);
#else
    return true;
#endif
}

}  // namespace standin_engine
