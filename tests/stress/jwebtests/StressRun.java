package jwebtests;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Base64;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.atomic.AtomicLong;
import java.util.concurrent.atomic.AtomicLongArray;
import tsapi.exceptions.Abort;
import tsapi.standin.Engine;
import tsapi.web;

/**
 * Threads call all 54 methods at random with random arguments (null strings,
 * null and empty arrays, null elements, bodies with zero bytes) against the
 * stand-in engine, which makes a fraction of each thread's engine calls fail
 * in every way it can. Each engine call is announced to the stand-in, which
 * checks the list it receives against the one the thread sent and returns a
 * result chosen for that call. Every failure must come back as Abort on its
 * own thread, every other call with its own result; afterwards the JVM must
 * still handle Java stack overflows and null dereferences in compiled code.
 *
 *   StressRun --threads 8 --seconds 15 --calls 400000 --rounds 4 [--seed n]
 *
 * Each round starts fresh threads, so threads also end while faults are
 * caught; the run stops at the time or call budget, whichever comes first.
 * Exits 1 with the first problems listed when anything went wrong.
 */
public final class StressRun {
    static final int JWEB_ERR_CALL = -55555;
    static final double FAILURE_FRACTION = 0.1;
    static final String[] KIND_NAMES = {"none", "throw int", "throw std::runtime_error",
        "throw unrelated class", "SIGSEGV", "SIGFPE", "SIGBUS", "SIGILL", "stack overflow", "raised foreign",
        "thread exit", "call back", "stack buffer overrun", "call back, then SIGSEGV", "call back, then throw",
        "SIGSEGV in generated code", "SIGFPE in generated code", "block signals, then SIGSEGV",
        "block signals, then throw"};
    static final int[] ALL_KINDS = {Engine.FAIL_THROW_INT, Engine.FAIL_THROW_RUNTIME_ERROR,
        Engine.FAIL_THROW_UNRELATED, Engine.FAIL_SEGV, Engine.FAIL_FPE, Engine.FAIL_BUS, Engine.FAIL_ILL,
        Engine.FAIL_STACK_OVERFLOW, Engine.FAIL_OVERRUN, Engine.FAIL_BLOCK_SIGNALS_THEN_SEGV,
        Engine.FAIL_BLOCK_SIGNALS_THEN_THROW};
    /** The kinds the engine can fail in on this platform (no SIGFPE on arm64); set once it is loaded. */
    static int[] kinds;
    static final int RESET_EVERY = 4096;  // keeps the stand-in's record small

    static final AtomicLongArray injected = new AtomicLongArray(KIND_NAMES.length);
    static final AtomicLongArray caught = new AtomicLongArray(KIND_NAMES.length);
    static final AtomicLong engineCalls = new AtomicLong();
    static final AtomicLong codecCalls = new AtomicLong();
    static final AtomicLong problems = new AtomicLong();
    static final ConcurrentLinkedQueue<String> firstProblems = new ConcurrentLinkedQueue<>();
    static final Map<String, Method> methods = new ConcurrentHashMap<>();

    private StressRun() {}

    public static void main(String[] argv) throws Exception {
        int threads = 8;
        int seconds = 15;
        long calls = 400_000;
        int rounds = 4;
        long seed = System.nanoTime();
        for (int i = 0; i + 1 < argv.length; i += 2) {
            switch (argv[i]) {
                case "--threads": threads = Integer.parseInt(argv[i + 1]); break;
                case "--seconds": seconds = Integer.parseInt(argv[i + 1]); break;
                case "--calls": calls = Long.parseLong(argv[i + 1]); break;
                case "--rounds": rounds = Integer.parseInt(argv[i + 1]); break;
                case "--seed": seed = Long.parseLong(argv[i + 1]); break;
                default: throw new IllegalArgumentException(argv[i]);
            }
        }
        EngineMode.prepare();
        Engine.reset();
        kinds = Arrays.stream(ALL_KINDS).filter(Engine::canFail).toArray();
        for (EngineMethods.Row row : EngineMethods.ROWS) methods.put(row.method(), row.javaMethod());
        System.out.printf("stress: %d threads, %d rounds, at most %d s and %d calls, seed %d%n", threads, rounds,
                seconds, calls, seed);

        final int mismatchesBefore = Engine.expectationMismatches();
        final long start = System.nanoTime();
        int threadsStarted = 0;
        for (int round = 0; round < rounds; round++) {
            final long deadline = start + (long) seconds * 1_000_000_000L * (round + 1) / rounds;
            final long budget = calls / rounds / threads;
            List<Thread> workers = new ArrayList<>();
            for (int t = 0; t < threads; t++) {
                final Random rng = new Random(seed + 1000L * round + t);
                final boolean resets = t == 0;
                Thread worker = new Thread(() -> work(rng, deadline, budget, resets), "stress-" + round + "-" + t);
                workers.add(worker);
                worker.start();
                threadsStarted++;
            }
            for (Thread worker : workers) worker.join();
        }
        final double elapsed = (System.nanoTime() - start) / 1e9;

        final int mismatches = Engine.expectationMismatches() - mismatchesBefore;
        if (mismatches != 0) problem(mismatches + " engine calls differed from what was sent; first: "
                + Engine.firstMismatch());
        checkJavaStackOverflow("main");
        checkCompiledNullChecks("main");

        long injectedTotal = 0;
        long caughtTotal = 0;
        System.out.printf("stress: %d threads in all, %.1f s, %d engine calls, %d codec calls (%.0f calls/s)%n",
                threadsStarted, elapsed, engineCalls.get(), codecCalls.get(),
                (engineCalls.get() + codecCalls.get()) / elapsed);
        for (int kind : kinds) {
            injectedTotal += injected.get(kind);
            caughtTotal += caught.get(kind);
            System.out.printf("stress:   %-26s injected %8d  caught as Abort %8d%n", KIND_NAMES[kind],
                    injected.get(kind), caught.get(kind));
        }
        System.out.printf("stress: failures injected %d, caught %d; list mismatches %d; problems %d%n",
                injectedTotal, caughtTotal, mismatches, problems.get());
        if (problems.get() != 0) {
            for (String p : firstProblems) System.out.println("stress: PROBLEM " + p);
            System.exit(1);
        }
    }

    static void problem(String what) {
        if (problems.incrementAndGet() <= 20) firstProblems.add(Thread.currentThread().getName() + ": " + what);
    }

    static void work(Random rng, long deadline, long budget, boolean resets) {
        for (long i = 0; i < budget && System.nanoTime() < deadline; i++) {
            if (resets && i % RESET_EVERY == RESET_EVERY - 1) Engine.reset();
            int pick = rng.nextInt(EngineMethods.ROWS.size() + 4);
            try {
                if (pick < EngineMethods.ROWS.size()) engineCall(rng, EngineMethods.ROWS.get(pick));
                else codecCall(rng, pick - EngineMethods.ROWS.size());
            } catch (Throwable t) {
                problem("unexpected " + t);
            }
        }
        String name = Thread.currentThread().getName();
        checkJavaStackOverflow(name);
        checkCompiledNullChecks(name);
    }

    static void engineCall(Random rng, EngineMethods.Row row) throws Throwable {
        Object[] args = randomArguments(rng, row);
        Method method = methods.get(row.method());
        engineCalls.incrementAndGet();
        if (row.method().equals("jweb_old_url") && args[0] == null) {
            // Refused by the library itself: the engine is not called.
            int result = (Integer) method.invoke(null, args);
            if (result != JWEB_ERR_CALL) problem("jweb_old_url(null) returned " + result);
            return;
        }
        List<byte[]> expected = row.expectedArguments(args);
        int result = rng.nextInt();
        Engine.expectCall(row.entry(), expected.toArray(new byte[0][]), result);
        if (row.hasNoMarker()) Engine.expectListLength(expected.size());
        int kind = rng.nextDouble() < FAILURE_FRACTION ? kinds[rng.nextInt(kinds.length)] : Engine.FAIL_NONE;
        if (kind != Engine.FAIL_NONE) {
            Engine.injectFailure(kind);
            injected.incrementAndGet(kind);
        }
        try {
            int returned = (Integer) method.invoke(null, args);
            if (kind != Engine.FAIL_NONE) problem(row.method() + ": " + KIND_NAMES[kind] + " came back as result "
                    + returned + " instead of Abort");
            else if (returned != result) problem(row.method() + " returned " + returned + ", the engine " + result);
        } catch (InvocationTargetException e) {
            Throwable thrown = e.getCause();
            if (!(thrown instanceof Abort)) {
                problem(row.method() + " threw " + thrown);
            } else if (kind == Engine.FAIL_NONE) {
                problem(row.method() + " threw Abort on a thread whose call did not fail");
            } else if (thrown.getMessage() != null) {
                problem(row.method() + ": Abort with a message: " + thrown.getMessage());
            } else {
                caught.incrementAndGet(kind);
            }
        }
    }

    static void codecCall(Random rng, int which) {
        String text = rng.nextInt(20) == 0 ? null : CodecMethodsTest.randomString(rng, rng.nextInt(40));
        String expected;
        String encoded;
        String decoded;
        if (which < 2) {
            encoded = web.jweb_util_url_encode(text);
            expected = text == null ? "" : CodecMethodsTest.urlEncodeReference(CodecMethodsTest.modifiedUtf8(text));
            decoded = web.jweb_util_url_decode(encoded);
        } else {
            encoded = web.jweb_util_base64encode(text);
            expected = text == null ? "" : Base64.getEncoder().encodeToString(CodecMethodsTest.modifiedUtf8(text));
            decoded = web.jweb_util_base64decode(encoded);
        }
        codecCalls.addAndGet(2);
        String codec = which < 2 ? "URL" : "Base64";
        if (!expected.equals(encoded)) problem(codec + " encoding of " + CodecMethodsTest.show(text) + " gave "
                + CodecMethodsTest.show(encoded));
        if (!decoded.equals(text == null ? "" : text)) problem(codec + " decoding did not give back "
                + CodecMethodsTest.show(text) + " but " + CodecMethodsTest.show(decoded));
    }

    static Object[] randomArguments(Random rng, EngineMethods.Row row) {
        List<Object> args = new ArrayList<>();
        for (String token : row.tokens()) {
            switch (token) {
                case "S": args.add(randomText(rng)); break;
                case "I": args.add(rng.nextInt()); break;
                case "A": case "A0": args.add(randomArray(rng)); break;
                case "B": args.add(randomBody(rng)); break;
                default: break;  // a marker
            }
        }
        return args.toArray();
    }

    static String randomText(Random rng) {
        return rng.nextInt(10) == 0 ? null : CodecMethodsTest.randomString(rng, rng.nextInt(24));
    }

    static String[] randomArray(Random rng) {
        if (rng.nextInt(10) == 0) return null;
        String[] array = new String[rng.nextInt(9)];
        for (int i = 0; i < array.length; i++) array[i] = randomText(rng);
        return array;
    }

    static byte[] randomBody(Random rng) {
        if (rng.nextInt(5) == 0) return null;
        byte[] body = new byte[rng.nextInt(65)];
        rng.nextBytes(body);
        return body;
    }

    // ---- the JVM's own fault handling, after all that ----

    static void recurse(int[] depth) {
        depth[0]++;
        recurse(depth);
    }

    /** A Java stack overflow is still StackOverflowError, the second time too. */
    static void checkJavaStackOverflow(String where) {
        for (int attempt = 0; attempt < 2; attempt++) {
            int[] depth = {0};
            try {
                recurse(depth);
                problem(where + ": unbounded recursion returned");
            } catch (StackOverflowError expected) {
                if (depth[0] < 1000) problem(where + ": StackOverflowError after only " + depth[0] + " calls");
            }
        }
    }

    private static int length(int[] array) {
        return array.length;
    }

    /** Compiled code still turns a null dereference into NullPointerException. */
    static void checkCompiledNullChecks(String where) {
        int[] array = new int[3];
        int npes = 0;
        long sum = 0;
        for (int i = 0; i < 100_000; i++) {
            try {
                sum += length((i & 1) == 0 ? null : array);
            } catch (NullPointerException expected) {
                npes++;
            }
        }
        if (npes != 50_000 || sum != 150_000) problem(where + ": null checks gave " + npes + " NPEs, sum " + sum);
    }
}
