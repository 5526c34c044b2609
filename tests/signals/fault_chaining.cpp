// The library's fault handlers among the dispositions a host may have set
// before loading it: SIG_IGN (plain and with SA_SIGINFO), a handler of its
// own, SIG_DFL. For each, a signal sent with kill gets what the host chose,
// a fault inside a guarded engine call becomes Abort, again and again, and a
// fault outside one ends the process as the kernel would, or reaches the
// host's handler. With a handler of its own, a fault the host raises in its
// own code, or in code it generated, while the engine has called back into
// it inside a guarded call, is the host's to handle, not the guard's.
// A signal handler of the host's that runs on top of a guarded call, or
// outside one, and faults in the C library gets that fault back through the
// host's handler, on the thread's own stack, and recovers; the call returns
// normally.
// With TSW_STANDIN_CRASH_REPORTER=1 the engine puts a crash reporter of its
// own between the host's disposition and the library's handlers when it is
// loaded, and all of the above holds the same: the guard knows the Java
// runtime's code (here this program's, which stands in for it) by what it
// is, not by whose handler it replaced.
//
//   fault_chaining DISPOSITION ENGINE LIBRARY     (ignore, ignore_siginfo, own, default)
#include <dlfcn.h>
#include <jni.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "standin_control.h"
#include "tests/unit/support/processor_faults.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what) {
    (ok ? passed : failed) += 1;
    if (!ok) std::printf("FAILED: %s\n", what.c_str());
}

// ---- the host's own handler ----

volatile sig_atomic_t own_handler_calls = 0;
volatile sig_atomic_t own_handler_on_signal_stack = 0;
sigjmp_buf* volatile own_resume = nullptr;  // where a fault in the host's code goes on

void own_handler(int, siginfo_t* info, void*) {
    own_handler_calls = own_handler_calls + 1;
    stack_t now;
    own_handler_on_signal_stack = sigaltstack(nullptr, &now) == 0 && (now.ss_flags & SS_ONSTACK) ? 1 : 0;
    if (info->si_code > 0 && own_resume != nullptr) siglongjmp(*own_resume, 1);
    // Otherwise a sent signal: nothing more to do.
}

constexpr int fault_signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

void set_disposition(std::string_view disposition) {
    for (int signal : fault_signals) {
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        if (disposition == "ignore") {
            action.sa_handler = SIG_IGN;
        } else if (disposition == "ignore_siginfo") {
            action.sa_handler = SIG_IGN;
            action.sa_flags = SA_SIGINFO;
        } else if (disposition == "own") {
            action.sa_sigaction = own_handler;
            action.sa_flags = SA_SIGINFO;
        } else {
            action.sa_handler = SIG_DFL;
        }
        sigaction(signal, &action, nullptr);
    }
}

// ---- a JNIEnv with just what a failed engine call uses ----

int abort_thrown = 0;
jclass JNICALL find_class(JNIEnv*, const char* name) {
    return std::strcmp(name, "tsapi/exceptions/Abort") == 0 ? reinterpret_cast<jclass>(&abort_thrown) : nullptr;
}
jboolean JNICALL exception_check(JNIEnv*) { return JNI_FALSE; }
jint JNICALL throw_new(JNIEnv*, jclass, const char*) {
    ++abort_thrown;
    return 0;
}

// ---- the engine and the library, loaded in that order, as a host does ----

struct Loaded {
    int (*inject_failure)(int);
    int (*crash_reports)();
    void (*set_callback)(int (*)(void*), void*);
    jint(JNICALL* initialize)(JNIEnv*, jclass);
};

template <class T>
T symbol(void* module, const char* name) {
    void* found = dlsym(module, name);
    if (found == nullptr) {
        std::printf("FAILED: no %s: %s\n", name, dlerror());
        std::exit(2);
    }
    return reinterpret_cast<T>(found);
}

Loaded load(const char* engine_path, const char* library_path) {
    void* engine = dlopen(engine_path, RTLD_NOW | RTLD_GLOBAL);
    void* library = engine ? dlopen(library_path, RTLD_NOW) : nullptr;
    if (library == nullptr) {
        std::printf("FAILED: cannot load: %s\n", dlerror());
        std::exit(2);
    }
    return {symbol<int (*)(int)>(engine, "standin_inject_failure"), symbol<int (*)()>(engine, "standin_crash_reports"),
            symbol<void (*)(int (*)(void*), void*)>(engine, "standin_set_callback"),
            symbol<jint(JNICALL*)(JNIEnv*, jclass)>(library, "Java_tsapi_web_jweb_1initialize")};
}

// This program is the Java runtime here: the library knows the runtime's
// code by the object that holds this table.
JNINativeInterface_ functions{};
JNIEnv_ env{};

// A fault of `kind` inside the guarded call: Abort, and the call returns.
void expect_guarded_fault(const Loaded& loaded, int kind, const char* name) {
    if (loaded.inject_failure(kind) != 0) return;  // not on this processor
    const int thrown = abort_thrown;
    const jint result = loaded.initialize(&env, nullptr);
    check(result == -55555 && abort_thrown == thrown + 1, std::string("guarded ") + name + " becomes Abort");
}

void expect_every_guarded_fault(const Loaded& loaded) {
    const int reports = loaded.crash_reports();
    for (int round = 0; round < 3; ++round) {
        expect_guarded_fault(loaded, STANDIN_FAIL_SEGV, "SIGSEGV");
        expect_guarded_fault(loaded, STANDIN_FAIL_FPE, "SIGFPE");
        expect_guarded_fault(loaded, STANDIN_FAIL_BUS, "SIGBUS");
        expect_guarded_fault(loaded, STANDIN_FAIL_ILL, "SIGILL");
    }
    check(loaded.crash_reports() == reports, "guarded faults never reach the engine's crash reporter");
}

// Runs `body` in a child process; its wait status.
template <class Body>
int in_child(Body body) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// Code in no loaded object, as a JIT writes it, that reads address 0.
using Generated = int (*)();
Generated generate_null_read() {
#if defined(__x86_64__)
    static const unsigned char code[] = {0x8b, 0x04, 0x25, 0x00, 0x00, 0x00, 0x00, 0xc3};  // mov eax,[0]; ret
#elif defined(__aarch64__)
    static const unsigned int code[] = {0xd2800000, 0xb9400000, 0xd65f03c0};  // mov x0,#0; ldr w0,[x0]; ret
#else
    return nullptr;
#endif
    void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return nullptr;
    std::memcpy(page, code, sizeof code);
    __builtin___clear_cache(static_cast<char*>(page), static_cast<char*>(page) + sizeof code);
    if (mprotect(page, 4096, PROT_READ | PROT_EXEC) != 0) return nullptr;
    return reinterpret_cast<Generated>(page);
}

// The host's code, called back by the engine inside a guarded call, faults;
// the host's own handler takes the fault and the code goes on.
int host_code_that_faults(void* context) {
    auto fault = reinterpret_cast<Generated>(context);
    sigjmp_buf resume;
    if (sigsetjmp(resume, 1) == 0) {
        own_resume = &resume;
        fault();
        own_resume = nullptr;
        return -1;  // the fault did not happen
    }
    own_resume = nullptr;
    return 4711;
}

// The host's SIGALRM handler, which faults in the C library (strlen of a
// null pointer, or of a page nothing may read just above the thread's stack,
// where a frame walk past the stack's top ends) and recovers through its
// SIGSEGV handler, as a sampler's stack walk does.
const char* volatile no_text = nullptr;
volatile sig_atomic_t alarm_recoveries = 0;
void faulting_alarm_handler(int) {
    sigjmp_buf resume;
    if (sigsetjmp(resume, 0) == 0) {
        own_resume = &resume;
        // Through a pointer: the C library's own code faults, not a check of its argument.
        std::size_t (*volatile length_of)(const char*) = std::strlen;
        volatile std::size_t length = length_of(no_text);
        static_cast<void>(length);
    } else {
        alarm_recoveries = alarm_recoveries + 1;
    }
    own_resume = nullptr;
}

int host_code_that_raises(void*) {
    raise(SIGALRM);
    return 4711;
}

// Runs `body` on a thread whose stack has a page nothing may read right above
// it; `body` gets that page.
template <class Body>
void on_thread_below_unreadable_page(Body body) {
    constexpr std::size_t stack_bytes = 1 << 20;
    void* region = mmap(nullptr, stack_bytes + 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) return;
    char* above = static_cast<char*>(region) + stack_bytes;
    mprotect(above, 4096, PROT_NONE);
    struct Run {
        Body* body;
        const char* above;
    } run{&body, above};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstack(&attributes, region, stack_bytes);
    pthread_t thread;
    if (pthread_create(
            &thread, &attributes,
            [](void* argument) -> void* {
                auto* run = static_cast<Run*>(argument);
                (*run->body)(run->above);
                return nullptr;
            },
            &run) == 0)
        pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    munmap(region, stack_bytes + 4096);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::printf("usage: fault_chaining ignore|ignore_siginfo|own|default ENGINE LIBRARY\n");
        return 2;
    }
    const std::string_view disposition = argv[1];
    stack_t before_library;
    const bool had_signal_stack = sigaltstack(nullptr, &before_library) == 0 && !(before_library.ss_flags & SS_DISABLE);
    set_disposition(disposition);
    const Loaded loaded = load(argv[2], argv[3]);
    const char* reporter = std::getenv("TSW_STANDIN_CRASH_REPORTER");
    const bool reporting = reporter != nullptr && std::strcmp(reporter, "1") == 0;
    functions.FindClass = find_class;
    functions.ThrowNew = throw_new;
    functions.ExceptionCheck = exception_check;
    env.functions = &functions;

    const bool ignored = disposition == "ignore" || disposition == "ignore_siginfo";
    for (int signal : fault_signals) {
        const std::string name = strsignal(signal);
        // Sent with kill: what the host chose.
        if (disposition == "default") {
            const int status = in_child([signal] { kill(getpid(), signal); });
            check(WIFSIGNALED(status) && WTERMSIG(status) == signal, "sent " + name + " ends the process");
        } else {
            const int calls = own_handler_calls;
            kill(getpid(), signal);
            check(ignored ? own_handler_calls == calls : own_handler_calls == calls + 1,
                  "sent " + name + (ignored ? " is ignored" : " reaches the host's handler"));
        }
    }
    // The guard works after the sent signals, every time.
    expect_every_guarded_fault(loaded);

    // A fault outside any guarded call.
    const int status = in_child([] {
        sigjmp_buf resume;
        if (sigsetjmp(resume, 1) == 0) {
            own_resume = &resume;
            processor_faults::read_null_pointer();
        }
        _exit(own_handler_calls > 0 ? 0 : 3);
    });
    if (disposition == "own")
        check(WIFEXITED(status) && WEXITSTATUS(status) == 0,
              "a fault outside a guarded call reaches the host's handler");
    else
        check(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV, "a fault outside a guarded call ends the process");

    if (disposition == "own") {
        // The engine calls back into the host, whose code faults: the host's
        // handler takes it, and the engine call returns normally.
        const Generated generated = generate_null_read();
        for (Generated fault : {Generated{processor_faults::read_null_pointer}, generated}) {
            if (fault == nullptr) continue;
            const char* where = fault == generated ? "generated code" : "its own code";
            for (int round = 0; round < 3; ++round) {
                loaded.set_callback(host_code_that_faults, reinterpret_cast<void*>(fault));
                loaded.inject_failure(STANDIN_FAIL_CALL_BACK);
                const int calls = own_handler_calls;
                const int thrown = abort_thrown;
                const int reports = loaded.crash_reports();
                const jint result = loaded.initialize(&env, nullptr);
                check(result == 4711 && abort_thrown == thrown && own_handler_calls == calls + 1,
                      std::string("a fault in the host's ") + where + " during a guarded call is the host's");
                check(loaded.crash_reports() == reports + (reporting ? 1 : 0),
                      std::string("a fault in the host's ") + where + " passes the engine's reporter on its way");
            }
        }
        // The host's signal handler faults on top of a guarded call, and
        // outside one on a thread that has made guarded calls.
        // Where the thread had a signal stack before the library (a
        // sanitizer's), a handler that asked for one (the engine's reporter)
        // runs there, as it would without the library.
        const bool on_a_signal_stack_of_its_own = reporting && had_signal_stack;
        struct sigaction alarm {};
        alarm.sa_handler = faulting_alarm_handler;
        sigaction(SIGALRM, &alarm, nullptr);
        const auto alarm_rounds = [&](const char* fault_at, const std::string& where) {
            no_text = fault_at;
            for (int round = 0; round < 3; ++round) {
                loaded.set_callback(host_code_that_raises, nullptr);
                loaded.inject_failure(STANDIN_FAIL_CALL_BACK);
                const int recoveries = alarm_recoveries;
                const int thrown = abort_thrown;
                const jint result = loaded.initialize(&env, nullptr);
                check(result == 4711 && abort_thrown == thrown && alarm_recoveries == recoveries + 1,
                      "a fault of a signal handler (" + where + ") on top of a guarded call is the handler's");
                check(own_handler_on_signal_stack == 0 || on_a_signal_stack_of_its_own,
                      "which recovers on the thread's own stack, inside the call (" + where + ")");
                host_code_that_raises(nullptr);
                check(alarm_recoveries == recoveries + 2 &&
                          (own_handler_on_signal_stack == 0 || on_a_signal_stack_of_its_own),
                      "and outside it, on the thread's own stack (" + where + ")");
            }
            loaded.set_callback(nullptr, nullptr);
            no_text = nullptr;
        };
        alarm_rounds(nullptr, "null pointer");
        on_thread_below_unreadable_page([&](const char* above) { alarm_rounds(above, "just above the stack"); });
    }
    expect_every_guarded_fault(loaded);

    std::printf("fault_chaining %s%s: %d passed, %d failed\n", argv[1], reporting ? " (engine's crash reporter)" : "",
                passed, failed);
    return failed == 0 ? 0 : 1;
}
