#include "guard/linux/safe_read.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>

namespace jweb::platform {

namespace {

// process_vm_readv, one system call. Where it is refused (qemu's user mode
// has none; a seccomp filter may deny it), the bytes go through a pipe of
// our own instead: write fails on what it cannot read, read takes the rest
// back. One reader at a time; every signal but the faults waits while the
// fault handler runs, so the holder is never interrupted by another reader
// on its own thread. The system calls are made directly: a sanitizer's
// wrappers would check the buffers against the shadow of a signal stack
// that handlers have left by jumps.
std::atomic<bool> through_pipe{false};
int pipe_ends[2] = {-1, -1};
std::atomic_flag pipe_in_use = ATOMIC_FLAG_INIT;

void make_pipe() {
    if (pipe2(pipe_ends, O_CLOEXEC | O_NONBLOCK) != 0) pipe_ends[0] = pipe_ends[1] = -1;
}

bool read_through_pipe(void* to, std::uintptr_t from, std::size_t bytes) {
    if (pipe_ends[0] < 0) return false;
    while (pipe_in_use.test_and_set(std::memory_order_acquire)) {
    }
    const long written = syscall(SYS_write, pipe_ends[1], from, bytes);
    bool whole = written == static_cast<long>(bytes);
    if (written > 0 && syscall(SYS_read, pipe_ends[0], to, written) != written) whole = false;
    pipe_in_use.clear(std::memory_order_release);
    return whole;
}

}  // namespace

void prepare_safe_read() {
    make_pipe();
    // A child has a pipe of its own, not one it shares with its parent.
    pthread_atfork(nullptr, nullptr, [] {
        if (pipe_ends[0] >= 0) {
            close(pipe_ends[0]);
            close(pipe_ends[1]);
        }
        make_pipe();
        pipe_in_use.clear();
    });
}

bool safe_read(void* to, std::uintptr_t from, std::size_t bytes) {
    const int saved_errno = errno;
    bool read_whole = false;
    if (!through_pipe.load(std::memory_order_relaxed)) {
        iovec local{to, bytes};
        iovec remote{reinterpret_cast<void*>(from), bytes};
        const long got = syscall(SYS_process_vm_readv, getpid(), &local, 1, &remote, 1, 0);
        read_whole = got == static_cast<long>(bytes);
        if (got < 0 && (errno == ENOSYS || errno == EPERM)) through_pipe.store(true, std::memory_order_relaxed);
    }
    if (through_pipe.load(std::memory_order_relaxed)) read_whole = read_through_pipe(to, from, bytes);
    errno = saved_errno;
    return read_whole;
}

}  // namespace jweb::platform
