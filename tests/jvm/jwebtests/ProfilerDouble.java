package jwebtests;

/**
 * A sampling profiler in the JVM, as operators attach one (host_doubles_linux.cpp):
 * a SIGPROF handler on the thread's own stack that holds a lock while it walks
 * the stack by frame pointers, with crash protection of its own.
 */
final class ProfilerDouble {
    static {
        System.loadLibrary("host_doubles");
    }

    private ProfilerDouble() {}

    /** Puts its SIGPROF handler and its crash protection in place, once per JVM. */
    static native void install();

    /** Samples the calling thread every intervalMicros of its CPU time; with probe, every walk faults at its end. */
    static native void start(int intervalMicros, boolean probe);

    /** The calling thread's samples so far. */
    static native long samples();

    /** Stops the calling thread's sampling: {samples, faults of its own it recovered from}. */
    static native long[] stop();

    /** {faults during a walk it could not take back and passed on, lock waits given up, 1 if the lock is held now}. */
    static native long[] health();
}
