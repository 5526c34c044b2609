package jwebbench;

import static java.lang.foreign.ValueLayout.ADDRESS;
import static java.lang.foreign.ValueLayout.JAVA_BYTE;
import static java.lang.foreign.ValueLayout.JAVA_INT;

import java.lang.foreign.Arena;
import java.lang.foreign.FunctionDescriptor;
import java.lang.foreign.Linker;
import java.lang.foreign.MemoryLayout;
import java.lang.foreign.MemorySegment;
import java.lang.foreign.SymbolLookup;
import java.lang.invoke.MethodHandle;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.function.IntSupplier;

/**
 * The FFM column, run by CallCost in a JVM of JDK 22 or newer: Java's foreign
 * function API calling the engine entries directly, once with the strings
 * allocated in an arena per call (what a script that holds Java strings must
 * do), once with their bytes already in native memory (the call alone).
 * Prints one line per row: row, median and minimum ns of each way, or "-"
 * where FFM cannot make the call.
 *   java --enable-native-access=ALL-UNNAMED -Dtsw.engine=... jwebbench.FfmCalls ROW...
 */
public final class FfmCalls {
    // A method handle takes at most 255 parameters; the spreader needs one more slot.
    private static final int MAX_ARGUMENTS = 253;
    private static final Linker LINKER = Linker.nativeLinker();
    private static final SymbolLookup ENGINE =
            SymbolLookup.libraryLookup(Path.of(System.getProperty("tsw.engine")), Arena.global());
    private static final MemorySegment LAST = Arena.global().allocateFrom(Workload.LAST);
    private static final MemorySegment ITEMDATA = Arena.global().allocateFrom(Workload.ITEMDATA);

    // Static finals, so that the JIT sees each handle as a constant.
    private static final MethodHandle INITIALIZE = handle("initialize");
    private static final MethodHandle SET_TIMEOUT = handle("set_timeout");
    private static final MethodHandle URL0 = handle("url0");
    private static final MethodHandle URL10 = handle("url10");
    private static final MethodHandle URL100 = handle("url100");
    private static final MethodHandle SUBMIT_DATA = handle("submit_data");
    private static final MethodHandle CUSTOM_REQUEST2 = handle("custom_request2");
    private static final MethodHandle CONCURRENT_START = handle("concurrent_start");

    private FfmCalls() {}

    public static void main(String[] rows) {
        System.out.println("java.version\t" + System.getProperty("java.version"));
        for (String row : rows) {
            IntSupplier perCall = call(row, false);
            if (perCall == null) {
                System.out.println(row + "\t-");
                continue;
            }
            double[][] figures = Rounds.measure(perCall, call(row, true));
            double[] arena = figures[0];
            double[] ready = figures[1];
            System.out.printf("%s\t%.1f\t%.1f\t%.1f\t%.1f%n", row, arena[0], arena[1], ready[0], ready[1]);
        }
    }

    private static MethodHandle handle(String row) {
        String[] list = Workload.list(row);
        if (list.length > MAX_ARGUMENTS) return null;
        MemoryLayout[] parameters = new MemoryLayout[list.length];
        Arrays.fill(parameters, ADDRESS);
        FunctionDescriptor descriptor = FunctionDescriptor.of(JAVA_INT, parameters);
        MemorySegment entry = ENGINE.find(Workload.entry(row)).orElseThrow();
        MethodHandle handle = Workload.isVariadic(row)
                ? LINKER.downcallHandle(entry, descriptor, Linker.Option.firstVariadicArg(1))
                : LINKER.downcallHandle(entry, descriptor);
        return handle.asSpreader(MemorySegment[].class, list.length);
    }

    // Each way names its handle's static final in its own lambda: a handle read
    // from a captured field would not be a constant, and the call would not
    // be inlined.
    private static IntSupplier call(String row, boolean bytesReady) {
        String[] list = Workload.list(row);
        int bodyIndex = Workload.bodyIndex(row);
        byte[] body = bodyIndex >= 0 ? Workload.body(Workload.bodySize(row)) : null;
        MethodHandle handle = row.startsWith("custom_request2") ? CUSTOM_REQUEST2 : handleOf(row);
        if (handle == null) return null;
        MemorySegment[] ready = bytesReady ? segments(Arena.global(), list, body, bodyIndex) : null;
        switch (row) {
            case "initialize":
                return bytesReady ? () -> invoke(INITIALIZE, ready) : () -> inArena(INITIALIZE, list, body, bodyIndex);
            case "set_timeout":
                return bytesReady ? () -> invoke(SET_TIMEOUT, ready) : () -> inArena(SET_TIMEOUT, list, body, bodyIndex);
            case "url0":
                return bytesReady ? () -> invoke(URL0, ready) : () -> inArena(URL0, list, body, bodyIndex);
            case "url10":
                return bytesReady ? () -> invoke(URL10, ready) : () -> inArena(URL10, list, body, bodyIndex);
            case "url100":
                return bytesReady ? () -> invoke(URL100, ready) : () -> inArena(URL100, list, body, bodyIndex);
            case "submit_data":
                return bytesReady ? () -> invoke(SUBMIT_DATA, ready) : () -> inArena(SUBMIT_DATA, list, body, bodyIndex);
            case "concurrent_start":
                return bytesReady ? () -> invoke(CONCURRENT_START, ready)
                                  : () -> inArena(CONCURRENT_START, list, body, bodyIndex);
            default:
                return bytesReady ? () -> invoke(CUSTOM_REQUEST2, ready)
                                  : () -> inArena(CUSTOM_REQUEST2, list, body, bodyIndex);
        }
    }

    private static MethodHandle handleOf(String row) {
        switch (row) {
            case "initialize": return INITIALIZE;
            case "set_timeout": return SET_TIMEOUT;
            case "url0": return URL0;
            case "url10": return URL10;
            case "url100": return URL100;
            case "submit_data": return SUBMIT_DATA;
            case "concurrent_start": return CONCURRENT_START;
            default: return null;
        }
    }

    private static int inArena(MethodHandle handle, String[] list, byte[] body, int bodyIndex) {
        try (Arena arena = Arena.ofConfined()) {
            return invoke(handle, segments(arena, list, body, bodyIndex));
        }
    }

    private static MemorySegment[] segments(Arena arena, String[] list, byte[] body, int bodyIndex) {
        MemorySegment[] args = new MemorySegment[list.length];
        for (int i = 0; i < list.length; i++) {
            String s = list[i];
            args[i] = s == null ? MemorySegment.NULL
                    : s == Workload.LAST ? LAST
                    : s == Workload.ITEMDATA ? ITEMDATA
                    : arena.allocateFrom(s);
        }
        if (body != null) {
            MemorySegment bytes = arena.allocate(body.length + 1L);
            MemorySegment.copy(body, 0, bytes, JAVA_BYTE, 0, body.length);
            bytes.set(JAVA_BYTE, body.length, (byte) 0);
            args[bodyIndex] = bytes;
        }
        return args;
    }

    private static int invoke(MethodHandle handle, MemorySegment[] args) {
        try {
            return (int) handle.invokeExact(args);
        } catch (Throwable t) {
            throw new IllegalStateException(t);
        }
    }
}
