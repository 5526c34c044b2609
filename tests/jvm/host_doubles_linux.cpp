// What a host brings into the process besides the JVM, as the JVM tests need
// it: a sampling profiler, and a JNI_CreateJavaVM of the host's own.
//
// The profiler samples a thread every so much of its CPU time (a timer of
// the thread's own, as async-profiler's ctimer mode). Its SIGPROF handler runs on the thread's own stack, takes a
// lock every sampler shares, fills a 16 KB trace buffer on that stack, and
// walks the interrupted frames by their frame pointers. The walk faults where
// a frame pointer leads nowhere readable, and always (probe) at its end; its
// crash protection, a SIGSEGV and SIGBUS handler put in front of the ones in
// place, jumps back into the sample when the fault's handler runs near the
// sample's stack, as real profilers check, and passes every other fault on.
// A guard that took a fault of the profiler's for its own would jump out of
// the sample: the lock stays held, and no thread samples again.
#include <dlfcn.h>
#include <jni.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace {

struct Sampler {
    int timer = -1;  // the kernel's id: the timer calls are made directly, so that
                     // this library needs no C library newer than the oldest userland's
    long interval_ns = 0;
    bool probe = false;
    std::atomic<long> samples{0};
    std::atomic<long> recovered{0};
    sigjmp_buf* volatile resume = nullptr;
};

constinit thread_local Sampler* current_sampler __attribute__((tls_model("initial-exec"))) = nullptr;

std::atomic<bool> sample_lock{false};
std::atomic<long> lock_waits_given_up{0};
std::atomic<long> walk_faults_passed_on{0};  // faults during a walk it could not take back
struct sigaction previous_segv {};
struct sigaction previous_bus {};
const volatile char* unreadable = nullptr;

// As async-profiler's check: the fault's handler runs on the sample's stack.
constexpr std::uintptr_t same_stack_bytes = 64 * 1024;

std::uintptr_t frame_pointer(const ucontext_t* context) {
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_RBP]);
#elif defined(__aarch64__)
    return static_cast<std::uintptr_t>(context->uc_mcontext.regs[29]);
#else
    (void)context;
    return 0;
#endif
}

[[gnu::noinline]] void walk(const ucontext_t* context, bool probe) {
    std::uintptr_t frame = frame_pointer(context);
    for (int depth = 0; depth < 256 && frame != 0; ++depth) {
        const std::uintptr_t next = *reinterpret_cast<const volatile std::uintptr_t*>(frame);
        if (next <= frame) break;
        frame = next;
    }
    if (probe) (void)*unreadable;
}

void arm(Sampler* sampler) {
    itimerspec every{};
    every.it_value.tv_sec = sampler->interval_ns / 1'000'000'000;
    every.it_value.tv_nsec = sampler->interval_ns % 1'000'000'000;
    every.it_interval = every.it_value;
    syscall(SYS_timer_settime, sampler->timer, 0, &every, nullptr);
}

void on_sample(int, siginfo_t*, void* context) {
    Sampler* sampler = current_sampler;
    if (sampler == nullptr) return;
    // A second at most: a lock held longer was left held by a sample that
    // never ended (a busy machine only delays its holder by some milliseconds).
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (long tries = 1; sample_lock.exchange(true, std::memory_order_acquire); ++tries) {
        if (tries % 4096 != 0) continue;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec > 1) {
            lock_waits_given_up.fetch_add(1);
            return;
        }
    }
    sampler->samples.fetch_add(1, std::memory_order_relaxed);
    volatile char trace[16 * 1024];
    for (std::size_t i = 0; i < sizeof trace; i += 512) trace[i] = 0;
    sigjmp_buf resume;
    if (sigsetjmp(resume, 0) == 0) {
        sampler->resume = &resume;
        walk(static_cast<const ucontext_t*>(context), sampler->probe);
    } else {
        sampler->recovered.fetch_add(1, std::memory_order_relaxed);
    }
    sampler->resume = nullptr;
    sample_lock.store(false, std::memory_order_release);
}

void pass_on(const struct sigaction& previous, int signal, siginfo_t* info, void* context) {
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    } else {
        struct sigaction default_action {};
        default_action.sa_handler = SIG_DFL;
        sigaction(signal, &default_action, nullptr);  // the fault comes again, and ends the process
    }
}

void on_fault(int signal, siginfo_t* info, void* context) {
    Sampler* sampler = current_sampler;
    sigjmp_buf* resume = sampler != nullptr ? sampler->resume : nullptr;
    const auto here = reinterpret_cast<std::uintptr_t>(&sampler);
    const auto there = reinterpret_cast<std::uintptr_t>(resume);
    if (resume != nullptr && there > here && there - here < same_stack_bytes) siglongjmp(*resume, 1);
    if (resume != nullptr) walk_faults_passed_on.fetch_add(1);
    pass_on(signal == SIGBUS ? previous_bus : previous_segv, signal, info, context);
}

void install() {
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    unreadable = page == MAP_FAILED ? nullptr : static_cast<const volatile char*>(page);
    struct sigaction action {};
    action.sa_sigaction = on_sample;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPROF, &action, nullptr);
    action.sa_sigaction = on_fault;
    sigaddset(&action.sa_mask, SIGPROF);  // no sample on top of its crash protection
    sigaction(SIGSEGV, &action, &previous_segv);
    sigaction(SIGBUS, &action, &previous_bus);
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_jwebtests_ProfilerDouble_install(JNIEnv*, jclass) {
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, install);
}

JNIEXPORT void JNICALL Java_jwebtests_ProfilerDouble_start(JNIEnv*, jclass, jint interval_micros, jboolean probe) {
    auto* sampler = new Sampler;
    sampler->interval_ns = interval_micros * 1000L;
    sampler->probe = probe == JNI_TRUE;
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGPROF;
    event._sigev_un._tid = static_cast<pid_t>(syscall(SYS_gettid));
    if (syscall(SYS_timer_create, CLOCK_THREAD_CPUTIME_ID, &event, &sampler->timer) != 0) {
        delete sampler;
        return;
    }
    current_sampler = sampler;
    arm(sampler);
}

JNIEXPORT jlong JNICALL Java_jwebtests_ProfilerDouble_samples(JNIEnv*, jclass) {
    return current_sampler != nullptr ? current_sampler->samples.load() : -1;
}

JNIEXPORT jlongArray JNICALL Java_jwebtests_ProfilerDouble_stop(JNIEnv* env, jclass) {
    Sampler* sampler = current_sampler;
    if (sampler == nullptr) return nullptr;
    syscall(SYS_timer_delete, sampler->timer);
    current_sampler = nullptr;
    const jlong counts[] = {sampler->samples.load(), sampler->recovered.load()};
    delete sampler;  // a signal still under way on this thread found current_sampler null
    jlongArray result = env->NewLongArray(2);
    if (result != nullptr) env->SetLongArrayRegion(result, 0, 2, counts);
    return result;
}

JNIEXPORT jlongArray JNICALL Java_jwebtests_ProfilerDouble_health(JNIEnv* env, jclass) {
    const jlong counts[] = {walk_faults_passed_on.load(), lock_waits_given_up.load(), sample_lock.load() ? 1 : 0};
    jlongArray result = env->NewLongArray(3);
    if (result != nullptr) env->SetLongArrayRegion(result, 0, 3, counts);
    return result;
}

// A host's own JNI_CreateJavaVM, as hosts linked against a stub of the
// invocation API export one: it forwards to the JVM's. Preloaded, it is the
// first of the name in the process's global scope.
JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* arguments) {
    using Create = jint(JNICALL*)(JavaVM**, void**, void*);
    auto create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "JNI_CreateJavaVM"));
    return create != nullptr ? create(vm, env, arguments) : JNI_ERR;
}

}  // extern "C"
