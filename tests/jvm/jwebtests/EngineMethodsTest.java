package jwebtests;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.stream.Stream;
import jwebtests.EngineMethods.Row;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import tsapi.exceptions.Abort;
import tsapi.standin.Engine;

/** Every engine method, driven from the one table of rows, in every engine mode. */
class EngineMethodsTest {
    static final int ERR_CALL = -55555;

    enum Scenario { TYPICAL, NULLS, EMPTY, NULL_ELEMENTS }

    @BeforeAll
    static void load() {
        EngineMode.prepare();
    }

    @BeforeEach
    void clearRecord() {
        if (EngineMode.engineLoaded()) Engine.reset();
    }

    /** Java arguments for a row in a scenario; strings differ by position. */
    static Object[] arguments(Row row, Scenario scenario) {
        List<Object> args = new ArrayList<>();
        int position = 0;
        for (String t : row.tokens()) {
            position++;
            switch (t) {
                case "S":
                    args.add(scenario == Scenario.NULLS ? null
                            : scenario == Scenario.EMPTY ? ""
                            : "s" + position + "=caf\u00e9 \u20ac\ud83d\ude00\u0000end");
                    break;
                case "I":
                    args.add(scenario == Scenario.TYPICAL ? -1 : scenario == Scenario.EMPTY ? Integer.MIN_VALUE : 0);
                    break;
                case "A": case "A0":
                    switch (scenario) {
                        case NULLS: args.add(null); break;
                        case EMPTY: args.add(new String[0]); break;
                        case NULL_ELEMENTS: args.add(new String[] {null}); break;
                        default: args.add(new String[] {"Name=a" + position, null, "Value=\u00fc\"\\", ""});
                    }
                    break;
                case "B":
                    args.add(scenario == Scenario.NULLS ? null
                            : scenario == Scenario.EMPTY ? new byte[0] : highBytesWithInnerZero());
                    break;
                default: break;
            }
        }
        return args.toArray();
    }

    static byte[] highBytesWithInnerZero() {
        byte[] body = new byte[128 + 5];
        for (int i = 0; i < 128; i++) body[i] = (byte) (0x80 + i);
        body[128] = 0;
        body[129] = 't';
        body[130] = 'a';
        body[131] = 'i';
        body[132] = 'l';
        return body;
    }

    static Stream<Arguments> rowsAndScenarios() {
        return EngineMethods.ROWS.stream()
                .flatMap(row -> Arrays.stream(Scenario.values()).map(s -> Arguments.of(row, s)));
    }

    static Stream<Row> rows() {
        return EngineMethods.ROWS.stream();
    }

    static Stream<Arguments> rowsAndFailures() {
        int[] kinds = {Engine.FAIL_THROW_INT, Engine.FAIL_THROW_RUNTIME_ERROR, Engine.FAIL_THROW_UNRELATED,
            Engine.FAIL_SEGV, Engine.FAIL_FPE};
        return EngineMethods.ROWS.stream().flatMap(row -> Arrays.stream(kinds).mapToObj(k -> Arguments.of(row, k)));
    }

    /** Calls a row's method as a script would, telling the engine how long a marker-less list is. */
    static int call(Row row, Object[] args) throws Throwable {
        if (row.hasNoMarker() && EngineMode.engineLoaded())
            Engine.expectListLength(row.expectedArguments(args).size());
        return row.invoke(args);
    }

    static void assertEngineReceived(Row row, List<byte[]> expected) {
        assertEquals(1, Engine.callCount(), row.method() + ": engine calls");
        Engine.Call call = Engine.call(0);
        assertEquals(row.entry(), call.name);
        List<byte[]> actual = call.intArgument != null
                ? List.of(call.intArgument.toString().getBytes()) : Arrays.asList(call.args);
        assertEquals(Engine.LIST_COMPLETE, call.listStatus, row.method());
        assertEquals(EngineMethods.show(expected), EngineMethods.show(actual), row.method());
        for (int i = 0; i < expected.size(); i++) assertArrayEquals(expected.get(i), actual.get(i));
    }

    @ParameterizedTest(name = "{0} {1}")
    @MethodSource("rowsAndScenarios")
    void engineReceivesExactlyTheArgumentList(Row row, Scenario scenario) throws Throwable {
        Object[] args = arguments(row, scenario);
        boolean refused = row.method().equals("jweb_old_url") && args[0] == null;
        if (EngineMode.engineLoaded()) Engine.setResult(4711);
        int result = call(row, args);
        if (!EngineMode.bound(row.entry()) || refused) {
            assertEquals(ERR_CALL, result);
            if (EngineMode.engineLoaded()) assertEquals(0, Engine.callCount(), "the engine was called");
            return;
        }
        assertEquals(4711, result);
        assertEngineReceived(row, row.expectedArguments(args));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("rows")
    void engineResultPassesThroughUnchanged(Row row) throws Throwable {
        assumeTrue(EngineMode.bound(row.entry()));
        for (int value : new int[] {0, 1, -1, Integer.MAX_VALUE, Integer.MIN_VALUE, -55556}) {
            Engine.setResult(value);
            assertEquals(value, call(row, arguments(row, Scenario.TYPICAL)), row.method());
        }
    }

    @ParameterizedTest(name = "{0} failure {1}")
    @MethodSource("rowsAndFailures")
    void failureInsideTheEngineBecomesAbort(Row row, int kind) throws Throwable {
        assumeTrue(EngineMode.engineLoaded());
        assumeTrue(Engine.canFail(kind), "this processor cannot fail that way (no SIGFPE on arm64)");
        Object[] args = arguments(row, Scenario.TYPICAL);
        Engine.injectFailure(kind);
        if (!EngineMode.bound(row.entry())) {
            assertEquals(ERR_CALL, call(row, args));
            return;
        }
        Abort abort = assertThrows(Abort.class, () -> call(row, args));
        assertNull(abort.getMessage());
        assertEngineReceived(row, row.expectedArguments(args));
        // The same thread calls on normally afterwards.
        Engine.reset();
        Engine.setResult(3);
        assertEquals(3, call(row, args));
    }

    // ---- cases the table does not show by itself ----

    @Test
    void concurrentGroupsPassOneNullForANullEmptyOrNullElementArray() throws Throwable {
        assumeTrue(EngineMode.bound("web_concurrent_start"));
        Row start = EngineMethods.row("jweb_concurrent_start");
        for (String[] array : new String[][] {null, {}, {null}}) {
            Engine.reset();
            Engine.expectListLength(3);
            assertEquals(0, start.invoke("g", array, "LAST"));
            assertEngineReceived(start, Arrays.asList("g".getBytes(), null, "LAST".getBytes()));
        }
        Engine.reset();
        Engine.expectListLength(4);
        start.invoke("g", new String[] {"a", "b"}, null);
        assertEngineReceived(start, Arrays.asList("g".getBytes(), "a".getBytes(), "b".getBytes(), null));
    }

    @Test
    void bodyTravelsAsItsBytesBeforeLast() throws Throwable {
        assumeTrue(EngineMode.bound("web_custom_request"));
        Row request = EngineMethods.row("jweb_custom_request2");
        byte[] every = new byte[255];
        for (int i = 0; i < 255; i++) every[i] = (byte) (i + 1);
        request.invoke("r", "POST", null, every);
        assertEngineReceived(request, Arrays.asList("r".getBytes(), "POST".getBytes(), every, "LAST".getBytes()));
        Engine.reset();
        request.invoke("r", "POST", null, new byte[0]);
        assertEngineReceived(request,
                Arrays.asList("r".getBytes(), "POST".getBytes(), new byte[0], "LAST".getBytes()));
    }

    @Test
    void hundredThousandElementsReachTheEngineWhole() throws Throwable {
        assumeTrue(EngineMode.bound("web_url"));
        String[] attributes = new String[100_000];
        for (int i = 0; i < attributes.length; i++) attributes[i] = i % 1000 == 7 ? null : "Attribute" + i;
        Row url = EngineMethods.row("jweb_url");
        assertEquals(0, url.invoke("big", "URL=http://shop.test/", attributes));
        Engine.Call call = Engine.call(0);
        assertEquals(100_003, call.args.length);
        for (int i = 0; i < attributes.length; i++)
            assertArrayEquals(EngineMethods.mutf8(attributes[i]), call.args[i + 2], "element " + i);
        assertArrayEquals("LAST".getBytes(), call.args[100_002]);
    }

    /**
     * List lengths around every point where the library's call changes its way:
     * 128 arguments, then each padded call's size (256 ... 8,192), a few of the
     * longer ones only (the checked runtime's cost grows with the square of
     * the list). The engine reads to its marker, so padding after the list
     * must not reach it.
     */
    static Stream<Integer> listLengthsAcrossEverySwitch() {
        return Stream.of(128, 129, 255, 256, 257, 511, 512, 513, 1023, 1024, 1025, 2049, 4096, 5000, 8192, 8193);
    }

    @ParameterizedTest(name = "{0} arguments")
    @MethodSource("listLengthsAcrossEverySwitch")
    void longListsInTwoArraysReachTheEngineWholeUpToTheirMarker(int count) throws Throwable {
        assumeTrue(EngineMode.bound("web_submit_data"));
        // name, action, first array, ITEMDATA, second array, LAST
        String[] first = new String[(count - 4) / 2];
        String[] second = new String[count - 4 - first.length];
        for (int i = 0; i < first.length; i++) first[i] = i % 97 == 5 ? null : "Name=f" + i;
        for (int i = 0; i < second.length; i++) second[i] = "Value=s" + i;
        Row data = EngineMethods.row("jweb_submit_data");
        Object[] args = {"form", "Action=http://shop.test/", first, second};
        assertEquals(0, data.invoke(args));
        List<byte[]> expected = data.expectedArguments(args);
        assertEquals(count, expected.size());
        assertEngineReceived(data, expected);
    }
}
