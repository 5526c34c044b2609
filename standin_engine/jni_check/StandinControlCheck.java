import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import tsapi.standin.Engine;

/**
 * The control natives in a real JVM (run under -Xcheck:jni).
 *   StandinControlCheck loaded ENGINE CALLER   the engine loaded first
 *   StandinControlCheck absent ENGINE CALLER   no engine in the process
 */
public final class StandinControlCheck {
    static native void callEngine();
    static native int initCatchingInt();

    private static final List<String> failures = new ArrayList<>();
    private static int passed;

    interface Check {
        void run() throws Exception;
    }

    static void check(String what, Check body) {
        try {
            body.run();
            passed++;
        } catch (Throwable t) {
            failures.add(what + ": " + t);
        }
    }

    static void expect(boolean condition, String message) {
        if (!condition) throw new AssertionError(message);
    }

    static void expectThrows(Class<? extends Throwable> type, Check body) throws Exception {
        try {
            body.run();
        } catch (Throwable t) {
            if (type.isInstance(t)) return;
            throw new AssertionError("expected " + type.getSimpleName() + ", got " + t, t);
        }
        throw new AssertionError("expected " + type.getSimpleName() + ", nothing thrown");
    }

    public static void main(String[] argv) throws Exception {
        String mode = argv[0];
        if (mode.equals("loaded")) {
            System.load(argv[1]);
            System.load(argv[2]);
            checkLoaded();
        } else {
            checkAbsent();
        }
        for (String f : failures) System.out.println("FAILED " + f);
        System.out.println(passed + " passed, " + failures.size() + " failed");
        System.exit(failures.isEmpty() ? 0 : 1);
    }

    static void checkAbsent() {
        Check[] calls = {
            Engine::reset, () -> Engine.setResult(1), () -> Engine.injectFailure(Engine.FAIL_THROW_INT),
            () -> Engine.expectListLength(1), () -> Engine.setListCap(1), () -> Engine.setCheckedReads(true),
            Engine::callCount, Engine::currentThreadId, () -> Engine.call(0), Engine::lastCall,
        };
        for (int i = 0; i < calls.length; i++) {
            Check call = calls[i];
            check("absent engine, control method " + i, () -> expectThrows(IllegalStateException.class, call));
        }
    }

    static void checkLoaded() {
        check("a reset record is empty", () -> {
            Engine.reset();
            expect(Engine.callCount() == 0, "count " + Engine.callCount());
            expectThrows(IllegalStateException.class, Engine::lastCall);
        });
        check("calls read back with exact bytes, nulls and ints", () -> {
            Engine.reset();
            Engine.setResult(9);
            callEngine();
            expect(Engine.callCount() == 2, "count " + Engine.callCount());
            Engine.Call url = Engine.call(0);
            expect(url.name.equals("web_url"), url.name);
            expect(url.args.length == 4, "args " + url.args.length);
            expect(Arrays.equals(url.args[0], new byte[] {'a'}), "arg 0");
            expect(url.args[1] == null, "arg 1 should be null");
            expect(Arrays.equals(url.args[2], new byte[] {(byte) 0xff, 1, 'z'}), "arg 2 " + Arrays.toString(url.args[2]));
            expect(url.arg(3).equals("LAST"), "arg 3");
            expect(url.intArgument == null, "web_url has no int");
            expect(url.result == 9, "result " + url.result);
            expect(url.failure == Engine.FAIL_NONE, "failure");
            expect(url.listStatus == Engine.LIST_COMPLETE, "list status");
            expect(url.threadId == Engine.currentThreadId(), "thread " + url.threadId);
            Engine.Call property = Engine.lastCall();
            expect(property.name.equals("web_get_int_property"), property.name);
            expect(property.intArgument == 7 && property.args.length == 0, property.toString());
            expect(Engine.calls().size() == 2, "calls()");
        });
        check("calls on another thread record that thread", () -> {
            Engine.reset();
            long[] id = new long[1];
            Thread t = new Thread(() -> {
                id[0] = Engine.currentThreadId();
                callEngine();
            }, "check-worker");
            t.start();
            t.join();
            expect(Engine.call(0).threadId == id[0], "thread id");
            expect(Engine.call(0).threadId != Engine.currentThreadId(), "not this thread");
            expect(Engine.call(0).threadName.equals("check-worker"), "name " + Engine.call(0).threadName);
        });
        check("an injected int reaches the next call on this thread only", () -> {
            Engine.reset();
            Engine.injectFailure(Engine.FAIL_THROW_INT);
            Engine.setResult(4);
            Thread t = new Thread(() -> expect(initCatchingInt() == 4, "other thread failed"));
            t.start();
            t.join();
            expect(initCatchingInt() == Engine.THROWN_INT, "no throw");
            expect(Engine.lastCall().failure == Engine.FAIL_THROW_INT && Engine.lastCall().result == null,
                    Engine.lastCall().toString());
            expect(initCatchingInt() == 4, "one-shot");
        });
        check("out of range calls and bad arguments", () -> {
            Engine.reset();
            expectThrows(IndexOutOfBoundsException.class, () -> Engine.call(0));
            expectThrows(IndexOutOfBoundsException.class, () -> Engine.call(-1));
            expectThrows(IllegalArgumentException.class, () -> Engine.injectFailure(99));
            expectThrows(IllegalArgumentException.class, () -> Engine.expectListLength(-1));
            expectThrows(IllegalArgumentException.class, () -> Engine.setListCap(-1));
        });
        check("list cap and announced length", () -> {
            Engine.reset();
            Engine.setListCap(2);
            callEngine();
            Engine.Call url = Engine.call(0);
            expect(url.args.length == 2 && url.listStatus == Engine.LIST_CAPPED, url.toString());
            Engine.reset();
            Engine.expectListLength(3);
            Engine.setCheckedReads(true);
            callEngine();
            url = Engine.call(0);
            expect(url.args.length == 3 && url.listStatus == Engine.LIST_COMPLETE, url.toString());
        });
    }
}
