package tsapi.standin;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * Control of the stand-in replay engine from Java tests: what its calls
 * return, a failure for the next call on the current thread, and the record
 * of every call it received.
 *
 * The engine (libTswReplayMain.so from standin_engine/) must already be loaded
 * in the process, by System.load or by loadEngine(); every method throws
 * IllegalStateException when it is not (or when the loaded one is the real
 * engine). Loading this class does not load the engine.
 */
public final class Engine {
    // java.library.path first, then the stand-in's natives jar on the class path.
    static {
        NativeLibrary.load("standin_control", Engine.class, name -> System.loadLibrary(name), path -> System.load(path));
    }

    /**
     * Loads the stand-in engine, as a host loads its engine: before the first
     * use of tsapi.web. From java.library.path when the engine is there
     * (libTswReplayMain.so, TswReplayMain.dll), else from the stand-in's
     * natives jar on the class path, put into the same folder as the other
     * natives (jwebnative.natives.dir), so that a dry run needs nothing but
     * the jars.
     */
    public static void loadEngine() {
        NativeLibrary.load("TswReplayMain", Engine.class, name -> System.loadLibrary(name), path -> System.load(path));
    }

    // Failure kinds for injectFailure; the same numbers as standin_control.h.
    public static final int FAIL_NONE = 0;
    /** Throws a C++ int. */
    public static final int FAIL_THROW_INT = 1;
    /** Throws a C++ std::runtime_error. */
    public static final int FAIL_THROW_RUNTIME_ERROR = 2;
    /** Throws a C++ object of a class not derived from std::exception. */
    public static final int FAIL_THROW_UNRELATED = 3;
    /** Dereferences a null pointer: SIGSEGV. */
    public static final int FAIL_SEGV = 4;
    /** Divides an integer by zero: SIGFPE. Not on arm64, where the division gives 0 (see canFail). */
    public static final int FAIL_FPE = 5;
    /** Touches a file mapping past the end of the file: SIGBUS. */
    public static final int FAIL_BUS = 6;
    /** Executes an undefined instruction: SIGILL. */
    public static final int FAIL_ILL = 7;
    /** Recurses until the thread's stack is exhausted: SIGSEGV. */
    public static final int FAIL_STACK_OVERFLOW = 8;
    /** Ends the calling thread (pthread_exit) after recording; refused on Windows. */
    public static final int FAIL_THREAD_EXIT = 10;
    /**
     * Not a failure: the call is recorded, then calls the callback of
     * setJavaCallback and returns (and records) what it returns.
     */
    public static final int FAIL_CALL_BACK = 11;
    /**
     * Writes setOverrunBytes() bytes past a 16-byte buffer in its own frame,
     * then returns through the damage: a fault, usually SIGSEGV.
     */
    public static final int FAIL_OVERRUN = 12;
    /** Calls back as FAIL_CALL_BACK, then dereferences a null pointer: SIGSEGV. */
    public static final int FAIL_CALL_BACK_THEN_SEGV = 13;
    /** Calls back as FAIL_CALL_BACK, then throws a C++ std::runtime_error. */
    public static final int FAIL_CALL_BACK_THEN_THROW = 14;
    /** Reads address 0 in machine code generated at run time in an anonymous mapping, as a JIT's: SIGSEGV. */
    public static final int FAIL_GENERATED_SEGV = 15;
    /** Divides by zero in such code: SIGFPE. Only on x86-64 (see canFail). */
    public static final int FAIL_GENERATED_FPE = 16;
    /**
     * Blocks SIGFPE, SIGUSR2, SIGPIPE, SIGALRM and SIGPROF on the calling thread,
     * then dereferences a null pointer. POSIX only.
     */
    public static final int FAIL_BLOCK_SIGNALS_THEN_SEGV = 17;
    /** Blocks those signals, then throws a C++ std::runtime_error. POSIX only. */
    public static final int FAIL_BLOCK_SIGNALS_THEN_THROW = 18;
    /**
     * Not a failure: spins for some milliseconds in code generated at run time whose
     * frame pointer leads into an unreadable page, where a profiler's stack walk
     * faults, then returns the result. Linux on x86-64 and arm64 only.
     */
    public static final int FAIL_BUSY_UNWALKABLE = 19;
    /** Recurses until the stack runs out, each frame spinning a few microseconds first. */
    public static final int FAIL_SLOW_STACK_OVERFLOW = 20;
    /**
     * Starts a thread of the engine's own that dereferences a null pointer,
     * and waits for it: outside every guarded call, the process ends. Refused on Windows.
     */
    public static final int FAIL_SEGV_ON_ENGINE_THREAD = 21;
    /** Blocks SIGSEGV, SIGBUS, SIGFPE and SIGILL, then dereferences a null pointer: the kernel ends the process. Refused on Windows. */
    public static final int FAIL_BLOCK_FAULTS_THEN_SEGV = 22;
    /**
     * Throws a C++ std::runtime_error through a frame without unwind tables, as C built
     * without -fexceptions leaves: std::terminate ends the process. Refused on Windows.
     */
    public static final int FAIL_THROW_THROUGH_C_FRAME = 23;

    // How a list's reading ended (Call.listStatus).
    public static final int LIST_COMPLETE = 0;
    public static final int LIST_CAPPED = 1;
    public static final int LIST_UNREADABLE = 2;

    /** The value C++ code catches for FAIL_THROW_INT. */
    public static final int THROWN_INT = 5707;
    /** The list cap after reset. */
    public static final int DEFAULT_LIST_CAP = 1_000_000;
    /** How far FAIL_OVERRUN writes past its buffer after reset. */
    public static final int DEFAULT_OVERRUN_BYTES = 200;

    private Engine() {}

    /**
     * Clears the record and the callback, sets the result back to 0, the
     * list cap and the overrun length to their defaults, checked reading
     * off, and clears this thread's pending failure and announced list
     * length. Also reopens the trace destination (environment variable
     * TSW_STANDIN_TRACE).
     */
    public static native void reset();

    /** The value every following engine call returns, on all threads. */
    public static native void setResult(int result);

    /**
     * Makes the next engine call on this thread fail in the given way
     * (one-shot). IllegalArgumentException for a kind this platform cannot
     * make (see canFail).
     */
    public static native void injectFailure(int kind);

    /**
     * Whether injectFailure takes this kind here: FAIL_FPE is refused on
     * arm64, which has no trapping integer division. Leaves no failure
     * pending on this thread.
     */
    public static boolean canFail(int kind) {
        try {
            injectFailure(kind);
        } catch (IllegalArgumentException refused) {
            return false;
        }
        injectFailure(FAIL_NONE);
        return true;
    }

    /**
     * The method a call armed with FAIL_CALL_BACK runs: type's
     * {@code static int staticMethodName()}, called on the calling thread
     * inside the engine call, which returns what it returns. An exception it
     * throws stays pending, so it is thrown where the engine call returns to
     * Java; the engine call returns -1 then. Null for either clears it.
     * NoSuchMethodError when there is no such method.
     */
    public static native void setJavaCallback(Class<?> type, String staticMethodName);

    /**
     * With true, caps the process's address space at what it has mapped now,
     * so that no new mapping can be made (as when a host runs out of address
     * space or of mappings); with false, puts back the limit there was.
     * UnsupportedOperationException where there is no such limit (Windows).
     */
    public static native void limitAddressSpace(boolean on);

    /**
     * The faults the engine's crash reporter has seen: with the environment
     * variable TSW_STANDIN_CRASH_REPORTER=1 when it is loaded, the engine
     * installs chaining handlers for the fault signals from its own module,
     * as C engines' crash reporters do. 0 without it.
     */
    public static native int crashReports();

    /** How far FAIL_OVERRUN writes past its 16-byte buffer; at least 16. */
    public static native void setOverrunBytes(int n);

    /**
     * The next variadic list the engine reads on this thread is exactly n
     * arguments, whatever they are (one-shot). Needed for the concurrent
     * lists, which carry no "LAST" marker.
     */
    public static native void expectListLength(int n);

    /**
     * The next engine call on this thread must be this entry with exactly
     * these arguments (each argument's bytes, null for a null pointer; a
     * list's marker included; the int of web_get_int_property in decimal),
     * and returns result (one-shot). A call that differs is counted by
     * expectationMismatches() and still returns result.
     */
    public static native void expectCall(String entry, byte[][] args, int result);

    /**
     * Calls that differed from the call expected of them since the engine
     * was loaded. reset() keeps the count: compare it before and after.
     */
    public static native int expectationMismatches();

    /** The first such call, expected against received; null when there was none. */
    public static native String firstMismatch();

    /** At most this many arguments of one list are read. */
    public static native void setListCap(int cap);

    /** Reads every list checking memory first, so a missing marker cannot crash. */
    public static native void setCheckedReads(boolean on);

    /** Calls recorded since the last reset. */
    public static native int callCount();

    /** This thread's id as the engine records it (the kernel thread id). */
    public static native long currentThreadId();

    /** Call i (0-based, in the order received). */
    public static Call call(int i) {
        int[] details = callDetails(i);
        return new Call(callName(i), callThreadId(i),
                new String(callThreadName(i), StandardCharsets.UTF_8), callArgs(i),
                details[0] != 0 ? Integer.valueOf(details[1]) : null,
                details[2] != 0 ? Integer.valueOf(details[3]) : null,
                details[4], details[5]);
    }

    /** The most recent call; IllegalStateException when none was recorded. */
    public static Call lastCall() {
        int count = callCount();
        if (count == 0) throw new IllegalStateException("the stand-in engine recorded no call");
        return call(count - 1);
    }

    /** Every recorded call, in order. */
    public static List<Call> calls() {
        int count = callCount();
        List<Call> all = new ArrayList<>(count);
        for (int i = 0; i < count; i++) all.add(call(i));
        return Collections.unmodifiableList(all);
    }

    // Each throws IndexOutOfBoundsException for a call that is not recorded.
    private static native String callName(int i);
    private static native long callThreadId(int i);
    private static native byte[] callThreadName(int i);
    private static native byte[][] callArgs(int i);
    /** {hasInt, int, returned, result, failure kind, list status}. */
    private static native int[] callDetails(int i);

    /** One call the engine received. */
    public static final class Call {
        /** Entry name, e.g. "web_url". */
        public final String name;
        /** Kernel id of the calling thread; compare with currentThreadId(). */
        public final long threadId;
        /** The calling thread's name (at most 15 bytes, as the OS keeps it). */
        public final String threadName;
        /**
         * String arguments in order, a list's marker included, each as its
         * exact bytes (without the NUL); null for a null pointer.
         */
        public final byte[][] args;
        /** The int argument of web_get_int_property; null for other entries. */
        public final Integer intArgument;
        /** What the call returned; null when it failed by injection. */
        public final Integer result;
        /** The injected failure kind, FAIL_NONE if none. */
        public final int failure;
        /** LIST_COMPLETE, or why the list's reading stopped early. */
        public final int listStatus;

        Call(String name, long threadId, String threadName, byte[][] args, Integer intArgument,
                Integer result, int failure, int listStatus) {
            this.name = name;
            this.threadId = threadId;
            this.threadName = threadName;
            this.args = args;
            this.intArgument = intArgument;
            this.result = result;
            this.failure = failure;
            this.listStatus = listStatus;
        }

        /** Argument k decoded as UTF-8; null for a null pointer. */
        public String arg(int k) {
            return args[k] == null ? null : new String(args[k], StandardCharsets.UTF_8);
        }

        /** All arguments decoded as UTF-8 (nulls kept). */
        public List<String> argStrings() {
            List<String> all = new ArrayList<>(args.length);
            for (int k = 0; k < args.length; k++) all.add(arg(k));
            return all;
        }

        @Override
        public String toString() {
            StringBuilder s = new StringBuilder(name).append('(');
            if (intArgument != null) s.append(intArgument);
            for (int k = 0; k < args.length; k++) {
                if (k > 0 || intArgument != null) s.append(", ");
                s.append(args[k] == null ? "NULL" : '"' + arg(k) + '"');
            }
            s.append(')');
            if (result != null) s.append(" = ").append(result);
            if (failure != FAIL_NONE) s.append(" failed (kind ").append(failure).append(')');
            return s.append(" on thread ").append(threadId).toString();
        }
    }
}
