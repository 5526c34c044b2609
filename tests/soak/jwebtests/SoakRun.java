package jwebtests;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Random;
import java.util.function.UnaryOperator;
import tsapi.web;

/**
 * Resident memory over millions of calls: after a warm-up, 10 million
 * jweb_url calls with ten attributes, a million calls of each codec, and
 * thousands of threads that each make one call and end (each sets up and
 * frees its signal stack). Prints the growth of resident memory, and of the
 * process's memory mappings over the threads; exits 1 when either grows more
 * than a leak-free run can explain.
 *
 *   SoakRun [--url-calls 10000000] [--codec-calls 1000000] [--threads 20000]
 *
 * Run with a fixed, pre-touched heap (-Xms = -Xmx, -XX:+AlwaysPreTouch), so
 * that the Java heap does not show as growth, and with the stand-in engine
 * unrecorded (TSW_STANDIN_RECORD=off), so that its record does not either.
 */
public final class SoakRun {
    static final long ALLOWED_GROWTH_KB = 8 * 1024;
    static final long ALLOWED_NEW_MAPPINGS = 1000;
    static final int JWEB_ERR_CALL = -55555;

    private SoakRun() {}

    public static void main(String[] argv) throws Exception {
        long urlCalls = 10_000_000;
        long codecCalls = 1_000_000;
        int threads = 20_000;
        for (int i = 0; i + 1 < argv.length; i += 2) {
            switch (argv[i]) {
                case "--url-calls": urlCalls = Long.parseLong(argv[i + 1]); break;
                case "--codec-calls": codecCalls = Long.parseLong(argv[i + 1]); break;
                case "--threads": threads = Integer.parseInt(argv[i + 1]); break;
                default: throw new IllegalArgumentException(argv[i]);
            }
        }
        EngineMode.prepare();
        Random rng = new Random(1);
        String[][] attributes = new String[16][10];
        for (String[] list : attributes)
            for (int k = 0; k < list.length; k++) list[k] = "Attr" + k + "=" + CodecMethodsTest.randomString(rng, 24);
        String[] texts = new String[64];
        for (int i = 0; i < texts.length; i++) texts[i] = CodecMethodsTest.randomString(rng, 100);
        String[] urlEncoded = new String[texts.length];
        String[] base64Encoded = new String[texts.length];
        for (int i = 0; i < texts.length; i++) {
            urlEncoded[i] = web.jweb_util_url_encode(texts[i]);
            base64Encoded[i] = web.jweb_util_base64encode(texts[i]);
        }

        // Warm-up: compiled code, the allocator's caches, the runtime's tables.
        urls(attributes, urlCalls / 10);
        codec("warm-up", web::jweb_util_url_encode, texts, codecCalls / 10);
        codec("warm-up", web::jweb_util_url_decode, urlEncoded, codecCalls / 10);
        codec("warm-up", web::jweb_util_base64encode, texts, codecCalls / 10);
        codec("warm-up", web::jweb_util_base64decode, base64Encoded, codecCalls / 10);
        final long baseline = residentKb();
        System.out.printf("soak: after warm-up, resident %d kB%n", baseline);

        long done = 0;
        long step = Math.max(1, urlCalls / 5);
        long start = System.nanoTime();
        while (done < urlCalls) {
            long n = Math.min(step, urlCalls - done);
            urls(attributes, n);
            done += n;
            System.out.printf("soak: jweb_url x %,d (10 attributes): resident %+d kB%n", done,
                    residentKb() - baseline);
        }
        System.out.printf("soak: jweb_url: %.2f us a call%n", (System.nanoTime() - start) / 1e3 / urlCalls);
        codec("jweb_util_url_encode", web::jweb_util_url_encode, texts, codecCalls);
        System.out.printf("soak: jweb_util_url_encode x %,d: resident %+d kB%n", codecCalls, residentKb() - baseline);
        codec("jweb_util_url_decode", web::jweb_util_url_decode, urlEncoded, codecCalls);
        System.out.printf("soak: jweb_util_url_decode x %,d: resident %+d kB%n", codecCalls, residentKb() - baseline);
        codec("jweb_util_base64encode", web::jweb_util_base64encode, texts, codecCalls);
        System.out.printf("soak: jweb_util_base64encode x %,d: resident %+d kB%n", codecCalls,
                residentKb() - baseline);
        codec("jweb_util_base64decode", web::jweb_util_base64decode, base64Encoded, codecCalls);
        final long callsGrowth = residentKb() - baseline;
        System.out.printf("soak: jweb_util_base64decode x %,d: resident %+d kB%n", codecCalls, callsGrowth);

        // The runtime's own thread bookkeeping grows over the first thousands
        // of threads, with or without this library: a round of them first.
        shortLivedThreads(attributes[0], threads);
        final long mappingsBefore = mappings();
        final long threadsBaseline = residentKb();
        shortLivedThreads(attributes[0], threads);
        final long newMappings = mappings() - mappingsBefore;
        final long threadsGrowth = residentKb() - threadsBaseline;
        System.out.printf("soak: %,d threads of one call each: resident %+d kB, memory mappings %+d%n", threads,
                threadsGrowth, newMappings);

        System.out.printf("soak: growth after warm-up: %+d kB over the calls (allowed %d kB), %+d kB and %+d "
                + "mappings over the threads%n", callsGrowth, ALLOWED_GROWTH_KB, threadsGrowth, newMappings);
        boolean leaked = callsGrowth > ALLOWED_GROWTH_KB || threadsGrowth > ALLOWED_GROWTH_KB
                || newMappings > ALLOWED_NEW_MAPPINGS;
        if (leaked) {
            System.out.println("soak: FAILED: memory grew beyond what a run without leaks shows");
            System.exit(1);
        }
    }

    static void shortLivedThreads(String[] attributes, int threads) throws InterruptedException {
        for (int t = 0; t < threads; t++) {
            Thread thread = new Thread(() -> {
                if (web.jweb_url("t", "URL=http://shop.test/", attributes) == JWEB_ERR_CALL)
                    throw new IllegalStateException("jweb_url failed");
            });
            thread.start();
            thread.join();
        }
    }

    static void urls(String[][] attributes, long calls) {
        for (long i = 0; i < calls; i++) {
            int result = web.jweb_url("step", "URL=http://shop.test/", attributes[(int) (i & 15)]);
            if (result == JWEB_ERR_CALL) throw new IllegalStateException("jweb_url failed: is the engine loaded?");
        }
    }

    static void codec(String name, UnaryOperator<String> codec, String[] inputs, long calls) {
        long length = 0;
        for (long i = 0; i < calls; i++) length += codec.apply(inputs[(int) (i & 63)]).length();
        if (length == 0) throw new IllegalStateException(name + " returned only empty strings");
    }

    static long residentKb() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status")))
            if (line.startsWith("VmRSS:")) return Long.parseLong(line.replaceAll("[^0-9]", ""));
        throw new IllegalStateException("no VmRSS in /proc/self/status");
    }

    static long mappings() throws IOException {
        try (var lines = Files.lines(Path.of("/proc/self/maps"))) {
            return lines.count();
        }
    }
}
