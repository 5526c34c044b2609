package jwebbench;

import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.function.IntSupplier;
import tsapi.web;

/**
 * Nanoseconds per call of the library's methods beside hand-written floors,
 * against the silent stand-in engine. Warm-up, then several timed rounds;
 * prints the median and the minimum round.
 *   java -Dtsw.engine=.../libTswReplayMain.so -cp ... jwebbench.CallCost
 */
public final class CallCost {
    private static final int ROUNDS = 15;
    private static final int CALLS_PER_ROUND = 200_000;
    private static volatile int sink;

    private CallCost() {}

    public static void main(String[] args) {
        System.load(System.getProperty("tsw.engine"));
        String[] ten = new String[10];
        for (int i = 0; i < ten.length; i++) ten[i] = "Attribute" + i + "=value" + i;

        Map<String, IntSupplier> rows = new LinkedHashMap<>();
        rows.put("empty native method (floor)", () -> {
            Baseline.empty();
            return 0;
        });
        rows.put("jweb_initialize", web::jweb_initialize);
        rows.put("hand-written url, 2 strings + 10 attributes (floor)",
                () -> Baseline.url10("home", "URL=http://shop.test/", ten));
        rows.put("jweb_url, 2 strings + 10 attributes", () -> web.jweb_url("home", "URL=http://shop.test/", ten));

        System.out.printf("%-55s %12s %12s%n", "call", "median ns", "min ns");
        for (Map.Entry<String, IntSupplier> row : rows.entrySet()) {
            double[] perCall = measure(row.getValue());
            System.out.printf("%-55s %12.1f %12.1f%n", row.getKey(), perCall[0], perCall[1]);
        }
    }

    private static double[] measure(IntSupplier call) {
        for (int i = 0; i < 3 * CALLS_PER_ROUND; i++) sink += call.getAsInt();
        double[] rounds = new double[ROUNDS];
        for (int r = 0; r < ROUNDS; r++) {
            long start = System.nanoTime();
            for (int i = 0; i < CALLS_PER_ROUND; i++) sink += call.getAsInt();
            rounds[r] = (double) (System.nanoTime() - start) / CALLS_PER_ROUND;
        }
        Arrays.sort(rounds);
        return new double[] {rounds[ROUNDS / 2], rounds[0]};
    }
}
