// The failures whose making is POSIX's own: SIGFPE by integer division,
// SIGBUS by a mapping past the end of its file, faults in code generated at
// run time, signals blocked before a failure, and the end of the calling
// thread; and busy generated code that a stack walk cannot pass. RAISE_FOREIGN
// is Windows'.

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "failures.h"
#include "standin_control.h"

namespace standin_engine {

namespace {

// An integer division by zero traps on x86; on arm64 it gives 0, and the
// kind is refused there.
#if defined(__aarch64__)
constexpr bool division_by_zero_traps = false;
#else
constexpr bool division_by_zero_traps = true;
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
    }
    ();
    return page;
}

[[gnu::noinline]] int touch_past_eof() {
    volatile char* page = page_past_eof();
    if (page == nullptr) return raise(SIGBUS);  // no file to map: the signal at least
    return *page;
}

// Machine code that faults, as a JIT (a regex or script engine, a libffi
// closure) would write it: each function returns an int and takes nothing.
#if defined(__x86_64__)
constexpr unsigned char read_address_zero_code[] = {0x8b, 0x04, 0x25, 0x00,
                                                    0x00, 0x00, 0x00, 0xc3};  // mov eax,[0]; ret
// busy(frame, count): a frame whose frame pointer is `frame`, a loop of
// `count` steps, and the caller's frame pointer back.
constexpr unsigned char busy_code[] = {0x55,                                    // push rbp
                                       0x48, 0x89, 0xfd,                        // mov rbp,rdi
                                       0x48, 0xff, 0xce,                        // 1: dec rsi
                                       0x75, 0xfb,                              // jnz 1b
                                       0x5d,                                    // pop rbp
                                       0x31, 0xc0,                              // xor eax,eax
                                       0xc3};                                   // ret
constexpr unsigned char divide_by_zero_code[] = {0x31, 0xd2,                    // xor edx,edx
                                                 0xb8, 0x01, 0x00, 0x00, 0x00,  // mov eax,1
                                                 0x31, 0xc9,                    // xor ecx,ecx
                                                 0xf7, 0xf1,                    // div ecx
                                                 0xc3};                         // ret
constexpr bool has_generated_code = true;
#elif defined(__aarch64__)
constexpr unsigned char read_address_zero_code[] = {0x00, 0x00, 0x80, 0xd2,   // mov x0,#0
                                                    0x00, 0x00, 0x40, 0xb9,   // ldr w0,[x0]
                                                    0xc0, 0x03, 0x5f, 0xd6};  // ret
constexpr unsigned char divide_by_zero_code[] = {0};                          // no trapping division: refused
constexpr unsigned char busy_code[] = {0xfd, 0x7b, 0xbf, 0xa9,                // stp x29,x30,[sp,#-16]!
                                       0xfd, 0x03, 0x00, 0xaa,                // mov x29,x0
                                       0x21, 0x04, 0x00, 0xf1,                // 1: subs x1,x1,#1
                                       0xe1, 0xff, 0xff, 0x54,                // b.ne 1b
                                       0xfd, 0x7b, 0xc1, 0xa8,                // ldp x29,x30,[sp],#16
                                       0x00, 0x00, 0x80, 0x52,                // mov w0,#0
                                       0xc0, 0x03, 0x5f, 0xd6};               // ret
constexpr bool has_generated_code = true;
#else
constexpr unsigned char read_address_zero_code[] = {0};
constexpr unsigned char divide_by_zero_code[] = {0};
constexpr unsigned char busy_code[] = {0};
constexpr bool has_generated_code = false;
#endif

using GeneratedFunction = int (*)();
using BusyFunction = int (*)(const void* frame, unsigned long steps);

// The functions in one anonymous page, written and then made executable
// (never both), once; kept for the life of the process. Beside them, a page
// nothing may read, where the busy function's frame pointer leads.
struct GeneratedCode {
    GeneratedFunction read_address_zero = nullptr;
    GeneratedFunction divide_by_zero = nullptr;
    BusyFunction busy = nullptr;
    const void* unreadable = nullptr;
};

GeneratedCode generate_code() {
    const auto size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* page = mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return {};
    auto* bytes = static_cast<unsigned char*>(page);
    constexpr std::size_t second = 64;
    constexpr std::size_t third = 128;
    std::memcpy(bytes, read_address_zero_code, sizeof read_address_zero_code);
    std::memcpy(bytes + second, divide_by_zero_code, sizeof divide_by_zero_code);
    std::memcpy(bytes + third, busy_code, sizeof busy_code);
    __builtin___clear_cache(reinterpret_cast<char*>(bytes), reinterpret_cast<char*>(bytes + size));
    if (mprotect(page, size, PROT_READ | PROT_EXEC) != 0 || mprotect(bytes + size, size, PROT_NONE) != 0) return {};
    return {reinterpret_cast<GeneratedFunction>(bytes), reinterpret_cast<GeneratedFunction>(bytes + second),
            reinterpret_cast<BusyFunction>(bytes + third), bytes + size + 64};
}

const GeneratedCode& generated_code() {
    static const GeneratedCode code = generate_code();
    return code;
}

// What an engine blocks around work it wants left alone (timers, profilers,
// broken pipes), then fails before it unblocks them.
void block_signals() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : {SIGFPE, SIGUSR2, SIGPIPE, SIGALRM, SIGPROF}) sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
}

// What no engine should do: the fault that follows meets no handler.
void block_fault_signals() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaddset(&blocked, signal);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
}

[[gnu::noinline]] int run_generated(GeneratedFunction function) {
    if (function == nullptr) return raise(SIGSEGV);  // no page to be had: the signal at least
    return function();
}

#if defined(__linux__)
constexpr bool linux_kernel = true;
#else
constexpr bool linux_kernel = false;
#endif

// Some milliseconds where a frame-pointer walk faults; returns.
void stay_busy_unwalkable() {
    const GeneratedCode& code = generated_code();
    if (code.busy != nullptr) code.busy(code.unreadable, 5'000'000);
}

[[gnu::noinline, gnu::no_sanitize("null")]] void* read_null_pointer(void*) {
    volatile int* volatile nowhere = nullptr;
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(*nowhere));
}

// A helper thread of the engine's, as engines start for their I/O, faults;
// the call waits for it.
void fault_on_engine_thread() {
    pthread_t helper;
    if (pthread_create(&helper, nullptr, read_null_pointer, nullptr) == 0) pthread_join(helper, nullptr);
}

}  // namespace

bool platform_has_failure(int kind) {
    if (kind == STANDIN_FAIL_BUSY_UNWALKABLE) return has_generated_code && linux_kernel;
    if (kind == STANDIN_FAIL_GENERATED_SEGV) return has_generated_code;
    if (kind == STANDIN_FAIL_GENERATED_FPE) return has_generated_code && division_by_zero_traps;
    return kind != STANDIN_FAIL_RAISE_FOREIGN && (kind != STANDIN_FAIL_FPE || division_by_zero_traps);
}

int limit_address_space(bool on) {
    static rlimit before{};
    static bool capped = false;
    if (!on) {
        if (!capped) return 0;
        capped = false;
        return setrlimit(RLIMIT_AS, &before);
    }
    if (capped || getrlimit(RLIMIT_AS, &before) != 0) return -1;
    unsigned long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    if (pages == 0) return -1;
    rlimit now = before;
    now.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    if (now.rlim_max != RLIM_INFINITY && now.rlim_cur > now.rlim_max) now.rlim_cur = now.rlim_max;
    if (setrlimit(RLIMIT_AS, &now) != 0) return -1;
    capped = true;
    return 0;
}

void fail_on_this_platform(int kind) {
    switch (kind) {
        case STANDIN_FAIL_FPE: divide_by_zero(); break;
        case STANDIN_FAIL_BUS: touch_past_eof(); break;
        case STANDIN_FAIL_GENERATED_SEGV: run_generated(generated_code().read_address_zero); break;
        case STANDIN_FAIL_GENERATED_FPE: run_generated(generated_code().divide_by_zero); break;
        case STANDIN_FAIL_BLOCK_SIGNALS_THEN_SEGV:
        case STANDIN_FAIL_BLOCK_SIGNALS_THEN_THROW: block_signals(); break;  // the failure itself is common
        case STANDIN_FAIL_BUSY_UNWALKABLE: stay_busy_unwalkable(); break;
        case STANDIN_FAIL_SEGV_ON_ENGINE_THREAD: fault_on_engine_thread(); break;
        case STANDIN_FAIL_BLOCK_FAULTS_THEN_SEGV: block_fault_signals(); break;  // the fault itself is common
        case STANDIN_FAIL_THROW_THROUGH_C_FRAME:
            call_through_frame_without_unwind_tables([] { throw std::runtime_error("standin engine: through C"); });
            break;
        case STANDIN_FAIL_THREAD_EXIT: pthread_exit(nullptr);
        default: break;
    }
}

}  // namespace standin_engine
