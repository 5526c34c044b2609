// The failures whose making is POSIX's own: SIGFPE by integer division,
// SIGBUS by a mapping past the end of its file, and the end of the calling
// thread. RAISE_FOREIGN is Windows'.

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>

#include "failures.h"
#include "standin_control.h"

namespace standin_engine {

namespace {

// An integer division by zero traps on x86; on arm64 it gives 0, and the
// kind is refused there.
#if defined(__aarch64__)
constexpr bool kDivisionByZeroTraps = false;
#else
constexpr bool kDivisionByZeroTraps = true;
#endif

// SIGFPE where integer division by zero traps.
[[gnu::noinline, gnu::no_sanitize("undefined")]] long long divide_by_zero() {
    volatile long long dividend = 1;
    volatile long long divisor = 0;
    long long n = dividend;
    const long long d = divisor;
#if defined(__x86_64__)
    // The instruction itself, so no sanitizer check can get there first.
    asm volatile("cqto\n\tidivq %1" : "+a"(n) : "r"(d) : "rdx", "cc");
    return n;
#else
    return n / d;
#endif
}

// One shared page of a file that was then cut to nothing: touching it is an
// access past end of file, which the kernel answers with SIGBUS. Made once
// and kept, so a failure that never returns here leaks nothing.
volatile char* page_past_eof() {
    static volatile char* const page = []() -> volatile char* {
        const long size = sysconf(_SC_PAGESIZE);
        // The system call itself: glibc's memfd_create (2.27) is newer than 2.17,
        // and kernels before 3.17 answer ENOSYS, for the file below.
        int fd = static_cast<int>(syscall(SYS_memfd_create, "standin-sigbus", MFD_CLOEXEC));
        if (fd < 0) {
            std::FILE* f = std::tmpfile();
            fd = f ? dup(fileno(f)) : -1;
            if (f) std::fclose(f);
        }
        if (fd < 0) return nullptr;
        void* p = MAP_FAILED;
        if (ftruncate(fd, size) == 0) p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        const bool cut = p != MAP_FAILED && ftruncate(fd, 0) == 0;
        close(fd);
        return cut ? static_cast<volatile char*>(p) : nullptr;
    }();
    return page;
}

[[gnu::noinline]] int touch_past_eof() {
    volatile char* page = page_past_eof();
    if (page == nullptr) return raise(SIGBUS);  // no file to map: the signal at least
    return *page;
}

}  // namespace

bool platform_has_failure(int kind) {
    return kind != STANDIN_FAIL_RAISE_FOREIGN && (kind != STANDIN_FAIL_FPE || kDivisionByZeroTraps);
}

void fail_on_this_platform(int kind) {
    switch (kind) {
        case STANDIN_FAIL_FPE: divide_by_zero(); break;
        case STANDIN_FAIL_BUS: touch_past_eof(); break;
        case STANDIN_FAIL_THREAD_EXIT: pthread_exit(nullptr);
        default: break;
    }
}

}  // namespace standin_engine
