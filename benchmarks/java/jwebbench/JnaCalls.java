package jwebbench;

import com.sun.jna.Function;
import com.sun.jna.NativeLibrary;
import java.util.function.IntSupplier;

/**
 * JNA calling the engine entries directly through Function.invokeInt, its
 * fastest way: each call builds the argument list, and JNA turns each String
 * into native memory and back. Built only when JNA is installed.
 */
final class JnaCalls implements CallCost.Column {
    // JNA's own cap on the number of arguments of one call.
    private static final int MAX_ARGUMENTS = 256;
    private final NativeLibrary engine;

    JnaCalls(String enginePath) {
        engine = NativeLibrary.getInstance(enginePath);
    }

    @Override
    public IntSupplier call(String row) {
        Function function = engine.getFunction(Workload.entry(row));
        String[] list = Workload.list(row);
        if (list.length > MAX_ARGUMENTS) return null;
        int bodyIndex = Workload.bodyIndex(row);
        byte[] body = bodyIndex >= 0 ? terminated(Workload.body(Workload.bodySize(row))) : null;
        return () -> {
            Object[] args = new Object[list.length];
            System.arraycopy(list, 0, args, 0, list.length);
            if (body != null) args[bodyIndex] = body;
            return function.invokeInt(args);
        };
    }

    private static byte[] terminated(byte[] bytes) {
        byte[] t = new byte[bytes.length + 1];
        System.arraycopy(bytes, 0, t, 0, bytes.length);
        return t;
    }
}
