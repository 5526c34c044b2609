package jwebtests;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.function.UnaryOperator;
import tsapi.web;

/**
 * The text utilities at the 2 GB limits of Java strings: a result longer than
 * 2^31 - 1 bytes, and a text whose modified UTF-8 is that long (the runtime
 * hands it out cut short), end in OutOfMemoryError saying the text is too
 * long, never in a wrong result. Needs about 9 GB of memory; exits 77
 * (skipped) where less is available.
 */
public final class LongTextRun {
    private static final long NEEDED_BYTES = 12L << 30;
    private static int failures;

    public static void main(String[] args) throws Exception {
        long available = availableMemory();
        if (available < NEEDED_BYTES) {
            System.out.println("SKIPPED: LongTextRun needs " + (NEEDED_BYTES >> 30) + " GB of available memory, "
                + "this machine has " + (available >> 30) + " GB");
            System.exit(77);
        }
        web.jweb_util_url_encode("");  // loads the library
        expectTooLong("url_encode of 800,000,000 '/' (2.4 GB)", () -> "/".repeat(800_000_000), web::jweb_util_url_encode);
        expectTooLong("url_encode of 1,450,000,000 '/' (4.35 GB)", () -> "/".repeat(1_450_000_000),
            web::jweb_util_url_encode);
        expectTooLong("base64encode of 1,700,000,000 'a' (2.27 GB)", () -> "a".repeat(1_700_000_000),
            web::jweb_util_base64encode);
        expectTooLong("url_decode of 1,100,000,000 '\u00e9' (2.2 GB of modified UTF-8)",
            () -> "\u00e9".repeat(1_100_000_000), web::jweb_util_url_decode);
        // Just below the limits the results are whole.
        check(web.jweb_util_url_encode("/".repeat(700_000_000)).length() == 2_100_000_000,
            "url_encode of 700,000,000 '/' gives 2,100,000,000 characters");
        System.out.println("LongTextRun: " + (failures == 0 ? "every check passed" : failures + " checks failed"));
        System.exit(failures == 0 ? 0 : 1);
    }

    interface Text {
        String make();
    }

    private static void expectTooLong(String what, Text text, UnaryOperator<String> method) {
        String input = text.make();
        try {
            String result = method.apply(input);
            check(false, what + ": returned " + result.length() + " characters instead of failing");
        } catch (OutOfMemoryError expected) {
            String message = String.valueOf(expected.getMessage());
            check(message.contains("too long"), what + ": OutOfMemoryError \"" + message + "\" does not say why");
            System.out.println(what + ": " + message);
        }
    }

    private static long availableMemory() throws Exception {
        for (String line : Files.readAllLines(Path.of("/proc/meminfo")))
            if (line.startsWith("MemAvailable:")) return Long.parseLong(line.replaceAll("[^0-9]", "")) << 10;
        return 0;
    }

    private static void check(boolean ok, String what) {
        if (!ok) {
            failures++;
            System.out.println("FAILED: " + what);
        }
    }
}
