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

    // Callbacks for Engine.setJavaCallback. The call that runs one is
    // recorded before it runs, so answer() sees it counted.
    static int callbackRuns;

    static int answer() {
        callbackRuns++;
        return 100 * Engine.callCount() + 42;
    }

    static int refuse() {
        throw new IllegalStateException("from the callback");
    }

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
            () -> Engine.setJavaCallback(null, null), () -> Engine.setOverrunBytes(16),
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
            expectThrows(IllegalArgumentException.class, () -> Engine.setOverrunBytes(15));
            Engine.setOverrunBytes(16);
            for (int kind : new int[] {Engine.FAIL_THREAD_EXIT, Engine.FAIL_CALL_BACK, Engine.FAIL_OVERRUN,
                    Engine.FAIL_CALL_BACK_THEN_SEGV, Engine.FAIL_CALL_BACK_THEN_THROW, Engine.FAIL_GENERATED_SEGV,
                    Engine.FAIL_SEGV_ON_ENGINE_THREAD, Engine.FAIL_BLOCK_FAULTS_THEN_SEGV,
                    Engine.FAIL_THROW_THROUGH_C_FRAME}) {
                Engine.injectFailure(kind);  // accepted here, and cleared before any call
                Engine.injectFailure(Engine.FAIL_NONE);
            }
            expectThrows(IllegalArgumentException.class, () -> Engine.injectFailure(Engine.FAIL_THROW_THROUGH_C_FRAME + 1));
        });
        check("a Java callback runs inside the call on its thread and gives the result", () -> {
            Engine.reset();
            Engine.setResult(4);
            Engine.setJavaCallback(StandinControlCheck.class, "answer");
            callbackRuns = 0;
            Engine.injectFailure(Engine.FAIL_CALL_BACK);
            expect(initCatchingInt() == 142, "result");
            expect(callbackRuns == 1, "runs " + callbackRuns);
            Engine.Call call = Engine.lastCall();
            expect(call.result == 142 && call.failure == Engine.FAIL_NONE, call.toString());
            expect(initCatchingInt() == 4 && callbackRuns == 1, "one-shot");
            int[] other = new int[1];
            Thread t = new Thread(() -> {
                Engine.injectFailure(Engine.FAIL_CALL_BACK);
                other[0] = initCatchingInt();
            });
            t.start();
            t.join();
            expect(other[0] == 342 && callbackRuns == 2, "other thread " + other[0]);
        });
        check("an exception from the callback stays pending; the call returns -1", () -> {
            Engine.reset();
            Engine.setJavaCallback(StandinControlCheck.class, "refuse");
            Engine.injectFailure(Engine.FAIL_CALL_BACK);
            expectThrows(IllegalStateException.class, StandinControlCheck::initCatchingInt);
            expect(Engine.lastCall().result == -1, Engine.lastCall().toString());
        });
        check("a callback cleared, missing or reset", () -> {
            Engine.reset();
            Engine.setResult(4);
            Engine.setJavaCallback(StandinControlCheck.class, "answer");
            Engine.setJavaCallback(null, null);
            Engine.injectFailure(Engine.FAIL_CALL_BACK);
            expect(initCatchingInt() == 4, "cleared");
            expectThrows(NoSuchMethodError.class, () -> Engine.setJavaCallback(StandinControlCheck.class, "none"));
            expectThrows(NoSuchMethodError.class, () -> Engine.setJavaCallback(StandinControlCheck.class, "check"));
            Engine.setJavaCallback(StandinControlCheck.class, "answer");
            Engine.reset();
            Engine.injectFailure(Engine.FAIL_CALL_BACK);
            expect(initCatchingInt() == 0, "reset");
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
