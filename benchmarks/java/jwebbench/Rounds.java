package jwebbench;

import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.util.Arrays;
import java.util.function.IntSupplier;

/**
 * Times calls side by side: each call gets a warm-up long enough for the JIT,
 * then the calls take turns, one round each, so that a burst of load on a
 * shared machine falls on all of them alike. The figures are nanoseconds per
 * call: the median round and the fastest. With -Djwebbench.clock=cpu a round
 * is timed by the thread's own processor time instead of the wall clock:
 * on a machine whose cores other work keeps busy, the wall clock mostly
 * measures the waits for a core.
 */
final class Rounds {
    static final int ROUNDS = 21;
    private static final long WARM_UP_NANOS = 400_000_000L;
    private static final long ROUND_NANOS = 10_000_000L;
    private static volatile int sink;
    static final boolean CPU_CLOCK = "cpu".equals(System.getProperty("jwebbench.clock", "wall"));
    private static final ThreadMXBean THREADS = ManagementFactory.getThreadMXBean();

    private Rounds() {}

    /** For each call, {median, minimum} nanoseconds per call. */
    static double[][] measure(IntSupplier... calls) {
        long[] perRound = new long[calls.length];
        for (int c = 0; c < calls.length; c++) perRound[c] = warmUp(calls[c]);
        double[][] rounds = new double[calls.length][ROUNDS];
        for (int r = 0; r < ROUNDS; r++) {
            for (int c = 0; c < calls.length; c++) {
                long start = now();
                run(calls[c], perRound[c]);
                rounds[c][r] = (double) (now() - start) / perRound[c];
            }
        }
        double[][] figures = new double[calls.length][];
        for (int c = 0; c < calls.length; c++) {
            Arrays.sort(rounds[c]);
            figures[c] = new double[] {rounds[c][ROUNDS / 2], rounds[c][0]};
        }
        return figures;
    }

    static String clockName() {
        return CPU_CLOCK ? "thread processor time" : "wall clock";
    }

    private static long now() {
        return CPU_CLOCK ? THREADS.getCurrentThreadCpuTime() : System.nanoTime();
    }

    /** Runs the call until warm; returns how many calls make a round. */
    private static long warmUp(IntSupplier call) {
        long calls = 0;
        long batch = 1;
        long start = now();
        long elapsed;
        do {
            run(call, batch);
            calls += batch;
            batch = Math.min(batch * 2, 1 << 16);
            elapsed = now() - start;
        } while (elapsed < WARM_UP_NANOS);
        return Math.max(1, ROUND_NANOS * calls / elapsed);
    }

    private static void run(IntSupplier call, long calls) {
        int s = 0;
        for (long i = 0; i < calls; i++) s += call.getAsInt();
        sink += s;
    }
}
