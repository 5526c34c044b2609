package jwebtests;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeFalse;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Future;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.stream.IntStream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;
import tsapi.exceptions.Abort;
import tsapi.standin.Engine;
import tsapi.web;

/** The guard in a running JVM: every failure kind, many times, on many threads. */
class GuardTest {
    @BeforeAll
    static void load() {
        EngineMode.prepare();
    }

    @ParameterizedTest(name = "failure {0}")
    @ValueSource(ints = {Engine.FAIL_THROW_INT, Engine.FAIL_THROW_RUNTIME_ERROR, Engine.FAIL_THROW_UNRELATED,
        Engine.FAIL_SEGV, Engine.FAIL_FPE, Engine.FAIL_BUS, Engine.FAIL_ILL, Engine.FAIL_STACK_OVERFLOW,
        Engine.FAIL_GENERATED_SEGV, Engine.FAIL_GENERATED_FPE, Engine.FAIL_BLOCK_SIGNALS_THEN_SEGV,
        Engine.FAIL_BLOCK_SIGNALS_THEN_THROW})
    void eachFailureKindBecomesAbortAgainAndAgainOnOneThread(int kind) throws IOException {
        assumeTrue(EngineMode.bound("InitWebVuser"));
        assumeTrue(Engine.canFail(kind), "this processor cannot fail that way (no SIGFPE on arm64)");
        assumeFalse(kind == Engine.FAIL_STACK_OVERFLOW && EngineMode.LIBJSIG,
            "with libjsig the JVM's handler takes the fault first, on the overflowed stack (see docs/host-guide.md)");
        Engine.reset();
        String mask = blockedSignalsOfThisThread();
        for (int i = 0; i < 5; i++) {
            Engine.injectFailure(kind);
            Abort abort = assertThrows(Abort.class, web::jweb_initialize);
            assertNull(abort.getMessage());
            assertEquals(mask, blockedSignalsOfThisThread(), "what the engine blocked before it failed stays blocked");
            assertJavaFaultsStillWorkOnThisThread();
            Engine.setResult(-42);
            assertEquals(-42, web.jweb_terminate());
        }
        if (EngineMode.CRASH_REPORTER && !EngineMode.LIBJSIG) {
            // The reporter was in place, between the JVM's handler and the library's.
            assertTrue(Engine.crashReports() > 0, "the JVM's own faults pass the engine's crash reporter");
        }
    }

    /**
     * A virtual user's engine call blocks signals and faults on a virtual
     * thread: its carrier, which runs the other virtual threads next, must not
     * keep the engine's mask, or a division by zero anywhere there ends the JVM.
     */
    @Test
    void caughtFaultOnOneVirtualThreadLeavesEveryOtherOneAlone() throws Exception {
        assumeTrue(EngineMode.bound("InitWebVuser"));
        assumeTrue(Engine.canFail(Engine.FAIL_BLOCK_SIGNALS_THEN_SEGV));
        ExecutorService virtualThreads = virtualThreadPerTaskExecutor();
        assumeTrue(virtualThreads != null, "virtual threads from JDK 21 on");
        try {
            Callable<String> mask = () -> {
                assertJavaFaultsStillWorkOnThisThread();
                return blockedSignalsOfThisThread();
            };
            Set<String> before = masksOf(virtualThreads, mask);
            assertEquals(1, before.size(), "carriers alike before: " + before);
            Future<?> faulting = virtualThreads.submit(() -> {
                Engine.injectFailure(Engine.FAIL_BLOCK_SIGNALS_THEN_SEGV);
                assertThrows(Abort.class, web::jweb_initialize);
            });
            faulting.get();
            assertEquals(before, masksOf(virtualThreads, mask));
        } finally {
            virtualThreads.shutdown();
        }
    }

    @Test
    void thousandFaultsOnSeveralThreadsLeaveTheJvmWhole() throws Exception {
        assumeTrue(EngineMode.bound("InitWebVuser"));
        Engine.reset();
        final int threads = 8;
        final int perThread = 125;
        int[] kinds = IntStream.of(Engine.FAIL_SEGV, Engine.FAIL_FPE, Engine.FAIL_BUS, Engine.FAIL_ILL,
            Engine.FAIL_THROW_RUNTIME_ERROR, Engine.FAIL_GENERATED_SEGV, Engine.FAIL_GENERATED_FPE,
            Engine.FAIL_BLOCK_SIGNALS_THEN_SEGV, Engine.FAIL_BLOCK_SIGNALS_THEN_THROW)
            .filter(Engine::canFail).toArray();
        AtomicInteger aborts = new AtomicInteger();
        AtomicInteger wrong = new AtomicInteger();
        List<Thread> workers = new ArrayList<>();
        for (int t = 0; t < threads; t++) {
            final int offset = t;
            Thread worker = new Thread(() -> {
                for (int i = 0; i < perThread; i++) {
                    Engine.injectFailure(kinds[(i + offset) % kinds.length]);
                    try {
                        web.jweb_initialize();
                        wrong.incrementAndGet();
                    } catch (Abort expected) {
                        aborts.incrementAndGet();
                    }
                    // Calls without an injected failure go through on the same thread.
                    if (web.jweb_cleanup_cookies() == -55555) wrong.incrementAndGet();
                }
            });
            workers.add(worker);
            worker.start();
        }
        for (Thread worker : workers) worker.join();
        assertEquals(threads * perThread, aborts.get());
        assertEquals(0, wrong.get());
        assertJitNullChecksStillWork();
    }

    /**
     * A sampling profiler runs its handler on top of engine calls and of Java code, walks the stack
     * with crash protection of its own and holds a lock while it does (ProfilerDouble). Its walks
     * fault in every sample, in the engine's busy code and outside any engine call, while engine
     * calls overflow the stack slowly, so that samples land deep, and fault: every fault of its own
     * it recovers from itself, every engine failure is Abort, a busy call returns its result, its
     * lock is never left held, and samples keep coming on every thread, one that never called the
     * engine too.
     */
    @Test
    void aSamplingProfilerKeepsItsFaultsAndTheEngineItsAborts() throws Exception {
        assumeTrue(EngineMode.bound("InitWebVuser"));
        assumeTrue(Engine.canFail(Engine.FAIL_BUSY_UNWALKABLE), "Linux on x86-64 and arm64");
        Engine.setResult(-42);
        assertEquals(-42, web.jweb_terminate());  // the library's handlers in place, if the profiler's are not yet
        ProfilerDouble.install();
        // An engine's stack overflow meets the first handler in place on the overflowed stack where that
        // handler did not ask for the signal stack: the JVM's under libjsig, the profiler's when it came
        // after the library's (see docs/host-guide.md).
        final boolean overflows = !EngineMode.LIBJSIG && EngineMode.PROFILER_FIRST;
        List<long[]> counts = new ArrayList<>();
        List<Throwable> failures = new ArrayList<>();
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < 4; t++) {
            final boolean callsTheEngine = t > 0;
            Thread thread = new Thread(() -> {
                try {
                    ProfilerDouble.start(200, true);
                    for (int round = 0; round < 12; round++) {
                        if (callsTheEngine) {
                            Engine.injectFailure(Engine.FAIL_BUSY_UNWALKABLE);
                            assertEquals(-42, web.jweb_initialize(), "a busy call returns its result");
                            if (overflows) {
                                Engine.injectFailure(Engine.FAIL_SLOW_STACK_OVERFLOW);
                                assertThrows(Abort.class, web::jweb_initialize);
                            }
                            Engine.injectFailure(Engine.FAIL_SEGV);
                            assertThrows(Abort.class, web::jweb_initialize);
                        }
                        spin(3);  // samples outside any engine call
                    }
                    // Samples go on after the faults: one more within seconds of CPU, however
                    // busy the machine.
                    long before = ProfilerDouble.samples();
                    long deadline = System.nanoTime() + 5_000_000_000L;
                    while (ProfilerDouble.samples() == before && System.nanoTime() < deadline) spin(1);
                    long after = ProfilerDouble.samples();
                    long[] mine = ProfilerDouble.stop();
                    synchronized (counts) {
                        counts.add(new long[] {mine[0], mine[1], after - before});
                    }
                } catch (Throwable failure) {
                    synchronized (failures) {
                        failures.add(failure);
                    }
                }
            });
            threads.add(thread);
            thread.start();
        }
        for (Thread thread : threads) thread.join();
        if (!failures.isEmpty()) throw new AssertionError(failures.get(0));
        for (long[] thread : counts) {
            assertTrue(thread[0] > 0, "samples on every thread");
            assertEquals(thread[0], thread[1], "every sample's fault recovered by the profiler");
            assertTrue(thread[2] > 0, "samples keep coming after the faults");
        }
        long[] health = ProfilerDouble.health();
        assertEquals(0, health[0], "no fault of a walk passed on by the profiler");
        assertEquals(0, health[1], "no sample waited for a lock left held");
        assertEquals(0, health[2], "the lock is free");
        assertJitNullChecksStillWork();
    }

    /** Runs Java code for about `millis` of CPU time. */
    private static void spin(long millis) {
        long end = System.nanoTime() + millis * 1_000_000;
        long sum = 0;
        while (System.nanoTime() < end) sum += sum * 31 + 7;
        if (sum == 42) System.out.print("");
    }

    @ParameterizedTest(name = "overrun of {0} bytes")
    @ValueSource(ints = {200, 1000})
    void engineOverrunningItsStackBufferBecomesAbort(int bytes) {
        assumeTrue(EngineMode.bound("InitWebVuser"));
        Engine.reset();
        Engine.setOverrunBytes(bytes);
        for (int i = 0; i < 5; i++) {
            Engine.injectFailure(Engine.FAIL_OVERRUN);
            assertThrows(Abort.class, web::jweb_initialize);
            Engine.setResult(-42);
            assertEquals(-42, web.jweb_terminate());
        }
        Engine.reset();
    }

    @Test
    void javaCodeTheEngineCallsBackGetsItsNullPointerExceptions() {
        assumeTrue(EngineMode.bound("InitWebVuser"));
        Engine.reset();
        Engine.setJavaCallback(NullChecks.class, "insideTheEngineCall");
        try {
            // Interpreted in the first rounds, compiled in the later ones.
            for (int round = 0; round < 30; round++) {
                Engine.injectFailure(Engine.FAIL_CALL_BACK);
                assertEquals(10_000, web.jweb_initialize());
            }
        } finally {
            Engine.setJavaCallback(null, null);
        }
        Engine.injectFailure(Engine.FAIL_SEGV);
        assertThrows(Abort.class, web::jweb_initialize);
        assertJitNullChecksStillWork();
    }

    /** What the engine calls back in the next test: a hook that throws. */
    static int throwingHook() {
        throw new IllegalStateException("thrown by the hook");
    }

    /**
     * A Java hook the engine calls back throws, then the engine returns, faults
     * or throws: the script gets the hook's exception, not Abort, and under
     * -Xcheck:jni no JNI call is made with it pending (a list's strings and
     * elements are still given back).
     */
    @ParameterizedTest(name = "failure {0}")
    @ValueSource(ints = {Engine.FAIL_CALL_BACK, Engine.FAIL_CALL_BACK_THEN_SEGV, Engine.FAIL_CALL_BACK_THEN_THROW})
    void exceptionOfAJavaHookIsWhatTheScriptSees(int kind) {
        assumeTrue(EngineMode.bound("InitWebVuser"));
        Engine.reset();
        Engine.setJavaCallback(GuardTest.class, "throwingHook");
        try {
            for (int i = 0; i < 5; i++) {
                Engine.injectFailure(kind);
                IllegalStateException thrown = assertThrows(IllegalStateException.class, web::jweb_initialize);
                assertEquals("thrown by the hook", thrown.getMessage());
                Engine.injectFailure(kind);
                thrown = assertThrows(IllegalStateException.class,
                    () -> web.jweb_submit_data("s", "Action=x", new String[] {"Method=POST", null},
                        new String[] {"Name=q", "Value=1", "ENDITEM"}));
                assertEquals("thrown by the hook", thrown.getMessage());
            }
        } finally {
            Engine.setJavaCallback(null, null);
        }
        Engine.setResult(-42);
        assertEquals(-42, web.jweb_terminate());
    }

    private static Set<String> masksOf(ExecutorService threads, Callable<String> task) throws Exception {
        List<Future<String>> masks = new ArrayList<>();
        for (int i = 0; i < 200; i++) masks.add(threads.submit(task));
        Set<String> seen = new HashSet<>();
        for (Future<String> mask : masks) seen.add(mask.get());
        return seen;
    }

    /** Executors.newVirtualThreadPerTaskExecutor() where the JDK has it (21 and later), else null. */
    private static ExecutorService virtualThreadPerTaskExecutor() throws Exception {
        try {
            return (ExecutorService) java.util.concurrent.Executors.class
                .getMethod("newVirtualThreadPerTaskExecutor").invoke(null);
        } catch (NoSuchMethodException olderJdk) {
            return null;
        }
    }

    /** The signals blocked on the calling thread's carrier, as the kernel says (SigBlk). */
    static String blockedSignalsOfThisThread() throws IOException {
        for (String line : Files.readAllLines(Paths.get("/proc/thread-self/status"))) {
            if (line.startsWith("SigBlk:")) return line.substring("SigBlk:".length()).trim();
        }
        throw new IllegalStateException("no SigBlk in /proc/thread-self/status");
    }

    private static volatile int zero = 0;
    private static volatile Object nothing = null;

    /** The JVM's own faults on this thread: a division by zero (SIGFPE on x86) and a null dereference. */
    static void assertJavaFaultsStillWorkOnThisThread() {
        assertThrows(ArithmeticException.class, () -> System.out.print(1 / zero));
        assertThrows(NullPointerException.class, () -> nothing.hashCode());
    }

    /** Compiled code turns null dereferences into NullPointerException through the JVM's own fault handler. */
    static void assertJitNullChecksStillWork() {
        assertEquals(50_000, NullChecks.caught(100_000));
    }
}
