package jwebtests;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Base64;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicReference;
import java.util.stream.Stream;
import jwebtests.CodecMethodsTest.Codec;
import jwebtests.EngineMethods.Row;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import tsapi.exceptions.Abort;
import tsapi.standin.Engine;
import tsapi.web;

/**
 * Input no script should send, sent anyway: unpaired surrogates and U+0000,
 * marker strings inside arrays, 16 MB strings and bodies, 100,000-element
 * arrays, a list longer than the calling thread's stack. Each call gives its
 * exact result, and repeating the large ones leaves no memory behind. (Null
 * for every parameter is in EngineMethodsTest and CodecMethodsTest.)
 */
class HostileInputTest {
    static final int ERR_CALL = -55555;
    static final int MB16 = 16 << 20;
    /** Long lists need room on the stack for every argument: such calls run on a thread that has it. */
    static final long LARGE_STACK = 256L << 20;
    /**
     * Below a quarter of the JVM's own 1 MB thread stacks: glibc gives a new
     * thread a stack that an ended thread left, if it is at most four times
     * the size asked for, and one of 1 MB would hold the lists meant to
     * overrun this one.
     */
    static final long SMALL_STACK = 240 << 10;

    static final String BIG = "x".repeat(MB16);
    /** 16 MB in modified UTF-8: ASCII, a space, U+0000, a two-byte char and a lone surrogate, over and over. */
    static final String MIXED = "a b\u0000\u00e9\ud800".repeat(MB16 / 10);
    static final String[] HUNDRED_THOUSAND = new String[100_000];
    /** Under -Xcheck:jni every local reference costs as many as the frame holds: longer lists sparingly. */
    static final String[] TEN_THOUSAND;
    static final byte[] BODY = new byte[MB16];
    static final byte[] BODY_WITH_ZERO = new byte[MB16];

    static {
        String[] kinds = {"Name=v", null, "\u0000", "\udc00\ud800", "", "LAST", "caf\u00e9"};
        for (int i = 0; i < HUNDRED_THOUSAND.length; i++) {
            String kind = kinds[i % kinds.length];
            HUNDRED_THOUSAND[i] = kind == null ? null : kind + i;
        }
        TEN_THOUSAND = Arrays.copyOf(HUNDRED_THOUSAND, 10_000);
        for (int i = 0; i < MB16; i++) BODY[i] = (byte) (1 + i % 255);
        System.arraycopy(BODY, 0, BODY_WITH_ZERO, 0, MB16);
        BODY_WITH_ZERO[MB16 / 2] = 0;
    }

    @BeforeAll
    static void load() {
        EngineMode.prepare();
    }

    // ---- engine methods ----

    static Stream<Arguments> engineCases() {
        return Stream.of(
            Arguments.of("unpaired surrogates and U+0000 in every string", "jweb_create_html_param_ex",
                new Object[] {"\ud800", "\udfffx", "x\udbff", "\u0000\udc00\u0000"}),
            Arguments.of("reversed surrogate pair and U+0000 in strings and elements", "jweb_submit_data",
                new Object[] {"\ude00\ud83d", "\u0000", new String[] {"\ud800", null, "\u0000"},
                    new String[] {"\udc00\ud800", ""}}),
            Arguments.of("marker strings as elements pass as they are", "jweb_url",
                new Object[] {"LAST", "ENDFORM", new String[] {"LAST", "ITEMDATA", "ENDFORM"}}),
            Arguments.of("LAST inside a FormSubmit list", "jweb_old_formSubmit",
                new Object[] {"f", new String[] {"ENDFORM", "LAST"}}),
            Arguments.of("16 MB string", "jweb_add_cookie", new Object[] {BIG}),
            Arguments.of("16 MB strings, non-ASCII, in a list", "jweb_url",
                new Object[] {"step", MIXED, new String[] {BIG, null, MIXED}}),
            Arguments.of("two arrays of 10,000 elements", "jweb_web_find",
                new Object[] {"find", TEN_THOUSAND, TEN_THOUSAND}),
            Arguments.of("10,000 elements in a list without a marker", "jweb_concurrent_start",
                new Object[] {"group", TEN_THOUSAND, "end"}),
            // Lists without a marker get exactly their arguments at any length:
            // 129, 257 and 8,193 arguments lie just past a switch-over point.
            Arguments.of("129 arguments without a marker", "jweb_concurrent_start",
                new Object[] {"group", Arrays.copyOf(HUNDRED_THOUSAND, 127), "end"}),
            Arguments.of("257 arguments without a marker", "jweb_concurrent_end",
                new Object[] {Arrays.copyOf(HUNDRED_THOUSAND, 256), "end"}),
            Arguments.of("8,193 arguments without a marker", "jweb_concurrent_start",
                new Object[] {"group", Arrays.copyOf(HUNDRED_THOUSAND, 8191), "end"}),
            Arguments.of("100,000 elements and a 16 MB body", "jweb_custom_request2",
                new Object[] {"r", "POST", HUNDRED_THOUSAND, BODY}),
            Arguments.of("16 MB body with a zero byte halfway", "jweb_custom_request2",
                new Object[] {"r", "POST", null, BODY_WITH_ZERO}));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("engineCases")
    void engineReceivesExactlyWhatWasSent(String what, String method, Object[] args) throws Throwable {
        Row row = EngineMethods.row(method);
        List<byte[]> expected = expectedArguments(row, args);
        if (EngineMode.engineLoaded()) {
            Engine.reset();
            Engine.setResult(4711);
        }
        int result = onLargeStack(() -> {
            // Read exactly the list sent, markers inside it or not (announced on the calling thread).
            if (row.isList() && EngineMode.engineLoaded()) Engine.expectListLength(expected.size());
            return row.invoke(args);
        });
        if (!EngineMode.bound(row.entry())) {
            assertEquals(ERR_CALL, result);
            if (EngineMode.engineLoaded()) assertEquals(0, Engine.callCount());
            return;
        }
        assertEquals(4711, result);
        assertEquals(1, Engine.callCount());
        Engine.Call call = Engine.call(0);
        assertEquals(row.entry(), call.name);
        assertEquals(Engine.LIST_COMPLETE, call.listStatus);
        assertEquals(expected.size(), call.args.length, "arguments");
        for (int k = 0; k < expected.size(); k++) assertArrayEquals(expected.get(k), call.args[k], "argument " + k);
        Engine.reset();
    }

    /** As EngineMethods.Row.expectedArguments, for strings of any length. */
    static List<byte[]> expectedArguments(Row row, Object[] args) {
        List<byte[]> expected = new ArrayList<>();
        int p = 0;
        for (String token : row.tokens()) {
            switch (token) {
                case "S": expected.add(mutf8((String) args[p++])); break;
                case "A": case "A0": {
                    String[] array = (String[]) args[p++];
                    if ((array == null || array.length == 0) && token.equals("A0")) expected.add(null);
                    if (array != null) for (String s : array) expected.add(mutf8(s));
                    break;
                }
                case "B": {
                    byte[] body = (byte[]) args[p++];
                    if (body != null) expected.add(EngineMethods.cString(body));
                    break;
                }
                default: expected.add(token.getBytes());  // a marker
            }
        }
        return expected;
    }

    static byte[] mutf8(String s) {
        return s == null ? null : CodecMethodsTest.modifiedUtf8(s);
    }

    // ---- codecs ----

    static Stream<Arguments> codecCases() {
        byte[] mixedBytes = CodecMethodsTest.modifiedUtf8(MIXED);
        String mixedUrl = CodecMethodsTest.urlEncodeReference(mixedBytes);
        String mixedBase64 = Base64.getEncoder().encodeToString(mixedBytes);
        return Stream.of(
            Arguments.of("16 MB kept as it is", Codec.URL_ENCODE, BIG, BIG),
            Arguments.of("16 MB of mixed text, URL-encoded", Codec.URL_ENCODE, MIXED, mixedUrl),
            Arguments.of("and decoded back", Codec.URL_DECODE, mixedUrl, MIXED),
            Arguments.of("16 MB of '%': the first escape is a zero byte", Codec.URL_DECODE, "%".repeat(MB16), ""),
            Arguments.of("16 MB of mixed text, Base64-encoded", Codec.BASE64_ENCODE, MIXED, mixedBase64),
            Arguments.of("and decoded back", Codec.BASE64_DECODE, mixedBase64, MIXED),
            Arguments.of("16 MB of '=' decodes to nothing", Codec.BASE64_DECODE, "=".repeat(MB16), ""),
            Arguments.of("unpaired surrogates, URL-encoded", Codec.URL_ENCODE, "\udc00\ud800",
                "%ed%b0%80%ed%a0%80"),
            Arguments.of("unpaired surrogates, Base64 there and back", Codec.BASE64_DECODE,
                Base64.getEncoder().encodeToString(CodecMethodsTest.modifiedUtf8("\udc00x\ud800")), "\udc00x\ud800"));
    }

    @ParameterizedTest(name = "{1}: {0}")
    @MethodSource("codecCases")
    void codecGivesTheExactString(String what, Codec codec, String input, String expected) {
        String actual = codec.apply(input);
        assertEquals(expected.length(), actual.length(), "length");
        assertTrue(expected.equals(actual), () -> "first difference at " + Arrays.mismatch(
                expected.toCharArray(), actual.toCharArray()));
    }

    // ---- a list longer than the thread's stack ----

    @Test
    void listLongerThanTheStackBecomesAbortAndHarmsNoOtherThread() throws Throwable {
        // Under libjsig the JVM's handler sees the fault first and dies of it.
        assumeTrue(EngineMode.bound("web_url") && !EngineMode.LIBJSIG);
        Engine.reset();
        String[] attributes = new String[40_000];  // 320 kB of arguments, on a 240 kB stack
        Arrays.fill(attributes, "a");
        // A thread of the JVM's own stack size ends first: its stack waits in
        // glibc's cache for the next thread that may take it.
        Thread ended = new Thread(() -> {});
        ended.start();
        ended.join();
        CountDownLatch neighboursReady = new CountDownLatch(4);
        CountDownLatch called = new CountDownLatch(1);
        AtomicReference<Object> outcome = new AtomicReference<>();
        Thread caller = new Thread(null, () -> {
            try {
                neighboursReady.await();
                outcome.set(assertThrows(Abort.class, () -> web.jweb_url("big", "u", attributes)));
                outcome.set(web.jweb_url("small", "u", new String[] {"a"}));  // the thread goes on
            } catch (Throwable t) {
                outcome.set(t);
            } finally {
                called.countDown();
            }
        }, "small-stack", SMALL_STACK);
        caller.start();
        // Threads started next get their stacks right below the caller's: a
        // list written past its stack would land in theirs.
        List<Thread> neighbours = new ArrayList<>();
        long[] sums = new long[4];
        for (int i = 0; i < 4; i++) {
            final int n = i;
            Thread neighbour = new Thread(null, () -> {
                neighboursReady.countDown();
                try {
                    called.await();
                } catch (InterruptedException e) {
                    return;
                }
                sums[n] = sumTo(200);
            }, "neighbour-" + i, SMALL_STACK);
            neighbours.add(neighbour);
            neighbour.start();
        }
        caller.join();
        for (Thread neighbour : neighbours) neighbour.join();
        assertEquals(0, outcome.get(), "a call after the Abort");
        for (long sum : sums) assertEquals(201L * 100, sum);
        assertEquals(1, Engine.callCount(), "only the small list reached the engine");
    }

    static long sumTo(int n) {
        return n == 0 ? 0 : n + sumTo(n - 1);
    }

    // ---- no memory left behind ----

    @Test
    void largeCallsRepeatedLeaveNoMemoryBehind() throws Exception {
        // Each call borrows or allocates 16 MB of native memory and makes next
        // to no Java garbage, so that resident memory shows what stays behind.
        String[] bigList = {BIG};
        String percents = "%".repeat(MB16);  // decodes to nothing, through a 16 MB buffer
        String pads = "=".repeat(MB16);
        Runnable round = () -> {
            web.jweb_add_cookie(BIG);
            web.jweb_url("step", MIXED, bigList);
            web.jweb_custom_request2("r", "POST", null, BODY);
            web.jweb_util_url_decode(percents);
            web.jweb_util_base64decode(pads);
            if (EngineMode.engineLoaded()) Engine.reset();  // the stand-in keeps copies until then
        };
        // The allocator keeps up to 64 MB of freed memory for reuse, settling
        // over the first rounds: those are not counted.
        for (int i = 0; i < 4; i++) round.run();
        final int rounds = 16;
        long before = residentKb();
        for (int i = 0; i < rounds; i++) round.run();
        long growth = residentKb() - before;
        System.out.printf("hostile input: %d rounds of 16 MB strings, bodies and codec buffers: resident %+d kB%n",
                rounds, growth);
        // A leak of any one of them would be 256 MB; the JVM's own growth
        // over the rounds has reached 99 MB (an emulated arm64 JVM 17).
        assertTrue(growth < 160 * 1024, "resident memory grew by " + growth + " kB");
    }

    static long residentKb() throws Exception {
        for (String line : Files.readAllLines(Path.of("/proc/self/status")))
            if (line.startsWith("VmRSS:")) return Long.parseLong(line.replaceAll("[^0-9]", ""));
        throw new IllegalStateException("no VmRSS");
    }

    interface Call<T> {
        T call() throws Throwable;
    }

    /** Runs the call on a thread whose stack holds the longest list here, and hands back its outcome. */
    static <T> T onLargeStack(Call<T> call) throws Throwable {
        AtomicReference<T> result = new AtomicReference<>();
        AtomicReference<Throwable> thrown = new AtomicReference<>();
        Thread thread = new Thread(null, () -> {
            try {
                result.set(call.call());
            } catch (Throwable t) {
                thrown.set(t);
            }
        }, "large-stack", LARGE_STACK);
        thread.start();
        thread.join();
        if (thrown.get() != null) throw thrown.get();
        return result.get();
    }
}
