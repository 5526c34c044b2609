package jwebbench;

import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.net.URLDecoder;
import java.net.URLEncoder;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Base64;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.function.IntSupplier;
import java.util.function.UnaryOperator;
import tsapi.web;

/**
 * Nanoseconds per call of the library's methods against the silent stand-in
 * engine, side by side with (a) the limit: hand-written JNI functions making
 * the same JNI calls and one direct call, (b) JNA and (c) Java's FFM API
 * calling the same entries, and for the codecs (d) the JDK's own codecs and
 * the copy floor. Prints one table.
 *   TSW_STANDIN_RECORD=off java -XX:+AllowUserSignalHandlers -Dtsw.engine=.../libTswReplayMain.so
 *       [-Djwebbench.ffm.java=<JDK 22+>/bin/java -Djwebbench.ffm.classpath=...] -cp ... jwebbench.CallCost
 */
public final class CallCost {
    /** One way of making a row's call; null where that way cannot make it. */
    interface Column {
        IntSupplier call(String row);
    }

    private static final String[] ROW_LABELS = {
        "jweb_initialize", "jweb_set_timeout", "jweb_url, 0 attributes", "jweb_url, 10 attributes",
        "jweb_url, 100 attributes", "jweb_url, 300 attributes", "jweb_url, 1000 attributes",
        "jweb_url, 5000 attributes", "jweb_submit_data, 10 + 10", "jweb_submit_data, 10 + 100-field form",
        "jweb_custom_request2, 10 + 4 KB body", "jweb_concurrent_start, 10",
        "jweb_custom_request2, 10 + no body", "jweb_custom_request2, 10 + 64 KB body",
        "jweb_custom_request2, 10 + 1 MB body",
    };

    private CallCost() {}

    public static void main(String[] args) throws Exception {
        if (!"off".equals(System.getenv("TSW_STANDIN_RECORD"))) {
            throw new IllegalStateException("run with TSW_STANDIN_RECORD=off: a recording engine keeps every call");
        }
        String enginePath = System.getProperty("tsw.engine");
        System.load(enginePath);

        List<String> notes = new ArrayList<>();
        Map<String, double[]> ffm = runFfm(enginePath, notes);
        Column jna = jna(enginePath, notes);

        StringBuilder table = new StringBuilder();
        table.append(String.format("Per-call cost in ns (%s): median of %d rounds [fastest round]; JDK %s; %d cores%n",
                Rounds.clockName(), Rounds.ROUNDS, System.getProperty("java.version"),
                Runtime.getRuntime().availableProcessors()));
        table.append(String.format("%n%-38s %17s %9s %7s %9s %10s %8s %9s %9s%n", "engine method", "library",
                "limit (a)", "x limit", "allowed", "JNA (b)", "JNA/lib", "FFM (c)", "FFM, ready"));
        double[] empty = Rounds.measure(() -> {
            Baseline.empty();
            return 0;
        })[0];
        table.append(String.format("%-38s %8.1f [%6.1f]%n", "(an empty native method)", empty[0], empty[1]));

        Map<String, double[]> library = new HashMap<>();
        Map<String, double[]> limit = new HashMap<>();
        for (int i = 0; i < Workload.ENGINE_ROWS.length; i++) {
            String row = Workload.ENGINE_ROWS[i];
            System.err.println("measuring " + ROW_LABELS[i]);
            IntSupplier ours = libraryCall(row);
            IntSupplier floor = limitCall(row);
            check(row, ours, floor);
            IntSupplier viaJna = jna != null ? jna.call(row) : null;
            double[][] pair = viaJna != null ? Rounds.measure(ours, floor, viaJna) : Rounds.measure(ours, floor);
            library.put(row, pair[0]);
            limit.put(row, pair[1]);
            double[] j = viaJna != null ? pair[2] : null;
            double[] f = ffm.get(row);
            if (row.equals("custom_request2_body0")) table.append(String.format("%-38s%n", "-- body length --"));
            double allowed = pair[1][0] < 200 ? pair[1][0] + 10 : pair[1][0] * 1.05;
            table.append(String.format("%-38s %8.1f [%6.1f] %9.1f %7.3f %8.1f%s %10s %8s %9s %9s%n", ROW_LABELS[i],
                    pair[0][0], pair[0][1], pair[1][0], pair[0][0] / pair[1][0], allowed,
                    pair[0][0] <= allowed ? " " : "!", j == null ? "-" : String.format("%.0f", j[0]),
                    j == null ? "-" : String.format("%.1f", j[0] / pair[0][0]),
                    f == null ? "-" : String.format("%.1f", f[0]), f == null ? "-" : String.format("%.1f", f[2])));
        }
        appendGrowth(table, library, limit);
        appendCodecs(table);
        table.append(String.format("%nx limit: library / limit (a); allowed: limit + 10 ns under 200 ns, else 1.05 x"
                + " limit; ! marks a median above it. JNA/lib: how many times slower JNA is.%n"
                + "FFM (c): strings allocated in an arena per call; FFM, ready: their bytes already in native memory."
                + "%nx floor: library / copy floor (d) of the input; allowed: 1.3 x (Base64 at 64 KB and 1 MB),"
                + " 1.8 x (URL). MB/s: input through the library. out floor: the copy floor of the result.%n"));
        for (String note : notes) table.append(note).append(System.lineSeparator());
        System.out.print(table);
    }

    private static void check(String row, IntSupplier ours, IntSupplier floor) {
        int a = ours.getAsInt();
        int b = floor.getAsInt();
        if (a != 0 || b != 0) throw new IllegalStateException(row + ": library " + a + ", limit " + b);
    }

    private static void appendGrowth(StringBuilder table, Map<String, double[]> library, Map<String, double[]> limit) {
        table.append(String.format("%n%-38s %17s %9s%n", "growth", "library", "limit (a)"));
        for (int n : new int[] {10, 100, 300, 1000, 5000}) {
            String row = "url" + n;
            table.append(String.format("%-38s %17.1f %9.1f%n", "ns per attribute, jweb_url " + n,
                    (library.get(row)[0] - library.get("url0")[0]) / n, (limit.get(row)[0] - limit.get("url0")[0]) / n));
        }
        for (String row : new String[] {"custom_request2", "custom_request2_body64k", "custom_request2_body1m"}) {
            double kb = Workload.bodySize(row) / 1024.0;
            table.append(String.format("%-38s %17.1f %9.1f%n", "ns per KB of body, " + (int) kb + " KB",
                    (library.get(row)[0] - library.get("custom_request2_body0")[0]) / kb,
                    (limit.get(row)[0] - limit.get("custom_request2_body0")[0]) / kb));
        }
    }

    private static IntSupplier libraryCall(String row) {
        String[] attributes = Workload.attributes(Workload.attributeCount(row));
        switch (row) {
            case "initialize": return web::jweb_initialize;
            case "set_timeout":
                return () -> web.jweb_set_timeout(Workload.TIMEOUT_CATEGORY, Workload.TIMEOUT_VALUE);
            case "submit_data": case "submit_data_form100": {
                String[] items = Workload.submitItems(row);
                return () -> web.jweb_submit_data(Workload.NAME, Workload.ACTION, attributes, items);
            }
            case "concurrent_start":
                return () -> web.jweb_concurrent_start(Workload.GROUP, attributes, Workload.LAST);
            default:
                if (row.startsWith("url")) return () -> web.jweb_url(Workload.NAME, Workload.URL, attributes);
                byte[] body = Workload.body(Workload.bodySize(row));
                return () -> web.jweb_custom_request2(Workload.NAME, Workload.METHOD, attributes, body);
        }
    }

    private static IntSupplier limitCall(String row) {
        String[] attributes = Workload.attributes(Workload.attributeCount(row));
        switch (row) {
            case "initialize": return Baseline::initialize;
            case "set_timeout":
                return () -> Baseline.setTimeout(Workload.TIMEOUT_CATEGORY, Workload.TIMEOUT_VALUE);
            case "submit_data": case "submit_data_form100": {
                String[] items = Workload.submitItems(row);
                return () -> Baseline.submitData(Workload.NAME, Workload.ACTION, attributes, items);
            }
            case "concurrent_start":
                return () -> Baseline.concurrentStart(Workload.GROUP, attributes, Workload.LAST);
            default:
                if (row.startsWith("url")) return () -> Baseline.url(Workload.NAME, Workload.URL, attributes);
                byte[] body = Workload.body(Workload.bodySize(row));
                return () -> Baseline.customRequest2(Workload.NAME, Workload.METHOD, attributes, body);
        }
    }

    // ---- codecs ----

    private static void appendCodecs(StringBuilder table) {
        table.append(String.format("%n%-38s %17s %9s %7s %9s %10s %8s %9s%n", "codec, input size, text", "library",
                "floor (d)", "x floor", "allowed", "JDK (d)", "MB/s", "out floor"));
        String[] names = {"jweb_util_base64encode", "jweb_util_base64decode", "jweb_util_url_encode",
            "jweb_util_url_decode"};
        for (String name : names) {
            for (boolean mixed : new boolean[] {false, true}) {
                for (int size : Workload.CODEC_SIZES) {
                    System.err.println("measuring " + name + " " + size + (mixed ? " mixed" : " ascii"));
                    appendCodec(table, name, size, mixed);
                }
            }
        }
    }

    private static void appendCodec(StringBuilder table, String name, int size, boolean mixed) {
        boolean base64 = name.contains("base64");
        boolean decode = name.endsWith("decode");
        UnaryOperator<String> ours;
        UnaryOperator<String> jdk;
        if (base64 && !decode) {
            ours = web::jweb_util_base64encode;
            jdk = s -> Base64.getEncoder().encodeToString(s.getBytes(StandardCharsets.UTF_8));
        } else if (base64) {
            ours = web::jweb_util_base64decode;
            jdk = s -> new String(Base64.getDecoder().decode(s), StandardCharsets.UTF_8);
        } else if (!decode) {
            ours = web::jweb_util_url_encode;
            jdk = s -> URLEncoder.encode(s, StandardCharsets.UTF_8);
        } else {
            ours = web::jweb_util_url_decode;
            jdk = s -> URLDecoder.decode(s, StandardCharsets.UTF_8);
        }
        // Several distinct inputs (about 1 MB in all), so that no single
        // input's pattern of escapes is learnt by the branch predictor.
        int count = Math.max(1, (1 << 20) / size);
        String[] inputs = new String[count];
        for (int k = 0; k < count; k++) {
            inputs[k] = !decode ? Workload.text(size, mixed, k + 1)
                    : base64 ? Workload.base64(size, mixed, k + 1) : Workload.urlEncoded(size, mixed, k + 1);
        }
        // The same copy of the results: what making the result string alone
        // costs, which the input's floor does not see when the result is
        // longer or has more non-ASCII text than the input.
        String[] outputs = new String[count];
        for (int k = 0; k < count; k++) outputs[k] = ours.apply(inputs[k]);
        double[][] pair = Rounds.measure(cycling(ours, inputs), cycling(Baseline::copy, inputs),
                cycling(jdk, inputs), cycling(Baseline::copy, outputs));
        double[] j = pair[2];
        String allowed = size < (64 << 10) ? "-" : base64 ? "1.3" : "1.8";
        boolean over = !allowed.equals("-") && pair[0][0] / pair[1][0] > Double.parseDouble(allowed);
        table.append(String.format("%-38s %8.0f [%6.0f] %9.0f %7.3f %8s%s %10.0f %8.0f %9.0f%n",
                name.substring(10) + ", " + (size >> 10) + " KB, " + (mixed ? "mixed" : "ASCII"), pair[0][0],
                pair[0][1], pair[1][0], pair[0][0] / pair[1][0], allowed, over ? "!" : " ", j[0],
                size / pair[0][0] * 1e9 / (1 << 20), pair[3][0]));
    }

    private static IntSupplier cycling(UnaryOperator<String> codec, String[] inputs) {
        int[] next = {0};
        return () -> {
            String input = inputs[next[0]];
            next[0] = next[0] + 1 == inputs.length ? 0 : next[0] + 1;
            return codec.apply(input).length();
        };
    }

    // ---- the other columns ----

    private static Column jna(String enginePath, List<String> notes) {
        try {
            Column column = (Column) Class.forName("jwebbench.JnaCalls").getDeclaredConstructor(String.class)
                    .newInstance(enginePath);
            notes.add("JNA (b): " + Class.forName("com.sun.jna.Native").getPackage().getImplementationVersion()
                    + ", Function.invokeInt (JNA takes at most 256 arguments: no 1000-attribute call).");
            return column;
        } catch (ReflectiveOperationException | LinkageError e) {
            notes.add("JNA (b): not measured, JNA is not installed (" + e + ").");
            return null;
        }
    }

    /** Runs FfmCalls in a JVM of JDK 22 or newer, if one was found. Row to {median, min, ready median, ready min}. */
    private static Map<String, double[]> runFfm(String enginePath, List<String> notes) throws Exception {
        Map<String, double[]> results = new HashMap<>();
        String java = System.getProperty("jwebbench.ffm.java", "");
        if (java.isEmpty()) {
            notes.add("FFM (c): not measured, no JDK 22 or newer was found.");
            return results;
        }
        System.err.println("measuring FFM with " + java);
        List<String> command = new ArrayList<>(List.of(java, "--enable-native-access=ALL-UNNAMED",
                "-Djwebbench.clock=" + System.getProperty("jwebbench.clock", "wall"),
                "-Dtsw.engine=" + enginePath, "-cp", System.getProperty("jwebbench.ffm.classpath"),
                "jwebbench.FfmCalls"));
        command.addAll(List.of(Workload.ENGINE_ROWS));
        Process process = new ProcessBuilder(command).redirectError(ProcessBuilder.Redirect.INHERIT).start();
        String version = "";
        try (BufferedReader out = new BufferedReader(new InputStreamReader(process.getInputStream()))) {
            for (String line; (line = out.readLine()) != null; ) {
                String[] f = line.split("\t");
                if (f.length == 5) {
                    results.put(f[0], new double[] {Double.parseDouble(f[1]), Double.parseDouble(f[2]),
                        Double.parseDouble(f[3]), Double.parseDouble(f[4])});
                } else if (f[0].equals("java.version")) {
                    version = f[1];
                }
            }
        }
        if (process.waitFor() != 0) throw new IllegalStateException("the FFM run failed");
        notes.add("FFM (c): JDK " + version + ", a downcall handle per argument count (a handle takes at most"
                + " 255 parameters: no 1000-attribute call).");
        return results;
    }
}
