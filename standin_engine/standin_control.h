/* Control and inspection of the stand-in replay engine (libTswReplayMain.so
 * built from standin_engine/). Tests call these to choose what the engine
 * returns, to make its next call fail, and to read back what it received.
 *
 * Plain C so that any caller can use it, including a JNI library that finds
 * these functions with dlsym. Record accessors return pointers into the
 * engine's record; they stay valid until standin_reset(). Indices are 0-based
 * in call order. */
#ifndef TSW_STANDIN_CONTROL_H
#define TSW_STANDIN_CONTROL_H

#include <stddef.h>

#if defined(_WIN32) && defined(STANDIN_BUILDING_ENGINE)
#define STANDIN_API __declspec(dllexport)
#elif defined(__GNUC__) && !defined(_WIN32)
#define STANDIN_API __attribute__((visibility("default")))
#else
#define STANDIN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What standin_inject_failure makes the next call on the calling thread do. */
enum standin_failure_kind {
    STANDIN_FAIL_NONE = 0,                      /* clears a pending injection */
    STANDIN_FAIL_THROW_INT = 1,                 /* throw STANDIN_THROWN_INT (an int) */
    STANDIN_FAIL_THROW_RUNTIME_ERROR = 2,       /* throw std::runtime_error */
    STANDIN_FAIL_THROW_UNRELATED = 3,           /* throw standin::UnrelatedFailure */
    STANDIN_FAIL_SEGV = 4,                      /* read through a null pointer */
    STANDIN_FAIL_FPE = 5,                       /* integer division by zero; not on arm64, where it gives 0 */
    STANDIN_FAIL_BUS = 6,                       /* touch a mapped page past end of file */
    STANDIN_FAIL_ILL = 7,                       /* execute an undefined instruction */
    STANDIN_FAIL_STACK_OVERFLOW = 8,            /* recurse until the stack runs out */
    STANDIN_FAIL_RAISE_FOREIGN = 9,             /* Windows only: RaiseException(0xE06D7363), as an
                                                   engine built with Microsoft's compiler throws */
    STANDIN_FAIL_THREAD_EXIT = 10,              /* POSIX only: the call ends its thread, pthread_exit(NULL) */
    STANDIN_FAIL_CALL_BACK = 11,                /* not a failure: the call returns what the callback of
                                                   standin_set_callback returns */
    STANDIN_FAIL_OVERRUN = 12,                  /* write past a 16-byte buffer of its own frame (see
                                                   standin_set_overrun_bytes), then return through it */
    STANDIN_FAIL_CALL_BACK_THEN_SEGV = 13,      /* call back as STANDIN_FAIL_CALL_BACK, then read
                                                   through a null pointer */
    STANDIN_FAIL_CALL_BACK_THEN_THROW = 14,     /* call back, then throw std::runtime_error */
    STANDIN_FAIL_GENERATED_SEGV = 15,           /* POSIX only: read address 0 in code generated at run time
                                                   into an anonymous executable mapping, as a JIT's */
    STANDIN_FAIL_GENERATED_FPE = 16,            /* x86-64 Linux only: divide by zero in such code */
    STANDIN_FAIL_BLOCK_SIGNALS_THEN_SEGV = 17,  /* POSIX only: block SIGFPE, SIGUSR2, SIGPIPE,
                                                   SIGALRM and SIGPROF, then read through a null pointer */
    STANDIN_FAIL_BLOCK_SIGNALS_THEN_THROW = 18, /* POSIX only: block those, then throw std::runtime_error */
    STANDIN_FAIL_BUSY_UNWALKABLE = 19,          /* not a failure; Linux x86-64 and arm64 only: spin for
                                                   some milliseconds in code generated at run time whose
                                                   frame pointer leads into an unreadable page, where a
                                                   profiler's stack walk faults, then return the result */
    STANDIN_FAIL_SLOW_STACK_OVERFLOW = 20,      /* recurse until the stack runs out, each frame spinning
                                                   a few microseconds first: a sampler lands deep */
    STANDIN_FAIL_SEGV_ON_ENGINE_THREAD = 21,    /* POSIX only: start a thread of the engine's own that
                                                   reads through a null pointer, and wait for it: outside
                                                   every guarded call, the process ends */
    STANDIN_FAIL_BLOCK_FAULTS_THEN_SEGV = 22,   /* POSIX only: block SIGSEGV, SIGBUS, SIGFPE and SIGILL,
                                                   then read through a null pointer: the kernel ends the
                                                   process */
    STANDIN_FAIL_THROW_THROUGH_C_FRAME = 23     /* POSIX only: throw std::runtime_error through a frame
                                                   without unwind tables, as C built without -fexceptions
                                                   leaves: std::terminate ends the process */
};

/* How the reading of a variadic list ended. */
enum standin_list_status {
    STANDIN_LIST_COMPLETE = 0,  /* marker found, announced length read, or not a list */
    STANDIN_LIST_CAPPED = 1,    /* stopped at the cap (standin_set_list_cap) */
    STANDIN_LIST_UNREADABLE = 2 /* checked reading stopped at unreadable memory */
};

#define STANDIN_THROWN_INT 5707
#define STANDIN_DEFAULT_LIST_CAP 1000000
#define STANDIN_DEFAULT_OVERRUN_BYTES 200

/* Clears the record; result back to 0; list cap and overrun length back to
 * their defaults; checked reading off; no callback; clears the calling
 * thread's pending injection, announced list length and expected call;
 * reopens the trace destination from TSW_STANDIN_TRACE. */
STANDIN_API void standin_reset(void);

/* The value every following call returns (all threads) until changed. */
STANDIN_API void standin_set_result(int result);

/* Arms a failure for the next engine call on the calling thread only.
 * Returns 0, or -1 for an unknown kind or one this platform lacks
 * (STANDIN_FAIL_BUS and STANDIN_FAIL_THREAD_EXIT on Windows,
 * STANDIN_FAIL_RAISE_FOREIGN elsewhere, STANDIN_FAIL_FPE on arm64, which has
 * no trapping integer division); nothing is armed then. */
STANDIN_API int standin_inject_failure(int kind);

/* The function a call armed with STANDIN_FAIL_CALL_BACK calls, on the
 * calling thread, after the call is recorded and before it returns; the call
 * returns, and records, what the function returns. NULL clears it; without
 * one such a call returns as usual. Process-wide. */
STANDIN_API void standin_set_callback(int (*callback)(void* context), void* context);

/* How far STANDIN_FAIL_OVERRUN writes past the end of its 16-byte buffer:
 * it fills the buffer and the n bytes above it with 0x41. At least 16, so
 * that the writes reach what the frame saved above the buffer. Returns 0, or
 * -1 when n < 16 (nothing changed then). Process-wide. */
STANDIN_API int standin_set_overrun_bytes(int n);

/* With on != 0, caps the process's address space (RLIMIT_AS) at what it
 * has mapped now, so that no new mapping can be made, as when a host runs
 * out of address space or of mappings (vm.max_map_count); with on == 0, puts
 * back the limit there was. For tests of a thread whose first call comes
 * then. Returns 0, or -1 where there is no such limit (Windows) or it could
 * not be set. */
STANDIN_API int standin_limit_address_space(int on);

/* The faults the engine's crash reporter has seen. POSIX only: with
 * TSW_STANDIN_CRASH_REPORTER=1 in its environment when it is loaded, the
 * engine installs, from a constructor of its own module, handlers for
 * SIGSEGV, SIGBUS, SIGFPE and SIGILL that count each fault, then hand it to
 * the action they replaced, as C engines' crash reporters do. With
 * TSW_STANDIN_CRASH_REPORTER=nochain the reporter hands nothing on: it writes
 * "standin crash reporter: signal N" to stderr and ends the process by the
 * signal's default action, as reporters that do not chain do. 0 without it. */
STANDIN_API int standin_crash_reports(void);

/* The next engine call on the calling thread must be `entry` with exactly
 * these `count` arguments: args[k] and lengths[k] give the bytes of argument
 * k without its NUL, args[k] NULL a null pointer; a list's marker counts as
 * an argument, and the int of web_get_int_property is given in decimal. The
 * call returns `result`, whether it matches or not; one that differs in its
 * entry or any argument is counted by standin_expectation_mismatches. The
 * expectation is one-shot and thread-local, like an injected failure, and
 * makes the call read and checked even when recording is off. Returns 0, or
 * -1 for a null entry, count < 0 or missing arrays (nothing expected then). */
STANDIN_API int standin_expect_call(const char* entry, int count, const char* const* args, const size_t* lengths,
                                    int result);

/* Calls that differed from the call expected of them, since the engine was
 * loaded: standin_reset keeps the count, so a test compares it before and
 * after, whatever other threads reset meanwhile. */
STANDIN_API int standin_expectation_mismatches(void);

/* The first such call, expected against received, or NULL when there was
 * none. The text stays valid for the life of the process. */
STANDIN_API const char* standin_first_mismatch(void);

/* The next variadic list read on the calling thread is exactly n arguments,
 * markers or not. Returns 0, or -1 when n < 0 (nothing announced then). */
STANDIN_API int standin_expect_list_length(int n);

/* At most this many arguments of one list are read (process-wide). Returns 0,
 * or -1 when cap < 0. */
STANDIN_API int standin_set_list_cap(int cap);

/* When on, every list is read checking that each argument slot and string is
 * readable memory first (slower). Concurrent lists without an announced
 * length are always read this way. */
STANDIN_API void standin_set_checked_reads(int on);

/* The calling thread's id as calls record it (the kernel thread id). */
STANDIN_API long long standin_current_thread_id(void);

/* ---- the record ---- */

STANDIN_API int standin_call_count(void);

/* Entry name of call i, or NULL when i is out of range. */
STANDIN_API const char* standin_call_name(int i);

/* Kernel thread id of the thread that made call i, or -1. */
STANDIN_API long long standin_call_thread_id(int i);

/* That thread's name as of its first call since the last reset, or NULL. */
STANDIN_API const char* standin_call_thread_name(int i);

/* Number of string arguments of call i, list marker included; -1 out of range.
 * web_get_int_property has none: its int is read with standin_call_int_arg. */
STANDIN_API int standin_call_arg_count(int i);

/* Argument k of call i: returns 1 and sets *bytes / *length (bytes up to, not
 * including, the terminating NUL) for a string; 0 for a null pointer (*bytes
 * set to NULL, *length to 0); -1 when i or k is out of range. */
STANDIN_API int standin_call_arg(int i, int k, const char** bytes, size_t* length);

/* 1 and *value for a call with an int argument, 0 for one without, -1. */
STANDIN_API int standin_call_int_arg(int i, int* value);

/* 1 and *value for a call that returned; 0 for one that failed by injection.
 * A call that calls back holds the callback's result once it has returned. */
STANDIN_API int standin_call_result(int i, int* value);

/* The injected failure kind of call i (STANDIN_FAIL_NONE if none), or -1. */
STANDIN_API int standin_call_failure(int i);

/* enum standin_list_status of call i, or -1. */
STANDIN_API int standin_call_list_status(int i);

#ifdef __cplusplus
} /* extern "C" */

namespace standin {
/* Thrown by STANDIN_FAIL_THROW_UNRELATED: deliberately not a std::exception. */
struct STANDIN_API UnrelatedFailure {
    const char* entry; /* the engine entry that threw */
};
} /* namespace standin */
#endif

#endif /* TSW_STANDIN_CONTROL_H */
