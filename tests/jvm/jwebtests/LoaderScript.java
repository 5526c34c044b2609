package jwebtests;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.TimeUnit;
import tsapi.exceptions.Abort;
import tsapi.standin.Engine;
import tsapi.web;

/**
 * A script as ReloadRun's class-loader runs give one to each script loader:
 * this class is defined in that loader, tsapi.web and the stand-in's control
 * wherever the loader finds them. Only JDK types cross to the driver.
 */
public final class LoaderScript {
    private LoaderScript() {}

    /** Clears the engine's record; once, before the scripts start. */
    public static void resetEngine() {
        Engine.reset();
    }

    /**
     * Rounds of one engine call that returns and one that an injected fault
     * fails, each round started with the other scripts (the barrier), then a
     * look at the engine's record: every call this thread made is there, in
     * its order, on its thread. Returns what went wrong, one line each; empty
     * when nothing did.
     */
    public static String run(String name, int rounds, CyclicBarrier together) {
        int[] faults = {Engine.FAIL_SEGV, Engine.FAIL_THROW_RUNTIME_ERROR, Engine.FAIL_ILL};
        StringBuilder wrong = new StringBuilder();
        List<String> mine = new ArrayList<>();
        for (int i = 0; i < rounds; i++) {
            try {
                together.await(60, TimeUnit.SECONDS);
            } catch (Exception e) {
                return wrong.append(name).append(": the scripts did not start round ").append(i).append(" together: ")
                    .append(e).append('\n').toString();
            }
            String cookie = name + "=" + i;
            int result = web.jweb_add_cookie(cookie);
            if (result != 0) wrong.append(name).append(": jweb_add_cookie returned ").append(result).append('\n');
            mine.add("web_add_cookie " + cookie);
            Engine.injectFailure(faults[i % faults.length]);
            try {
                web.jweb_remove_cookie(cookie);
                wrong.append(name).append(": round ").append(i).append(": no Abort\n");
            } catch (Abort expected) {
                if (expected.getMessage() != null) wrong.append(name).append(": Abort with a message\n");
            }
            mine.add("web_remove_cookie " + cookie);
        }
        long thread = Engine.currentThreadId();
        List<String> received = new ArrayList<>();
        for (Engine.Call call : Engine.calls()) {
            if (call.threadId != thread) continue;
            received.add(call.name + " " + new String(call.args[0], StandardCharsets.UTF_8));
        }
        if (!received.equals(mine))
            wrong.append(name).append(": the engine received ").append(received).append(" on this thread, not ")
                .append(mine).append('\n');
        return wrong.toString();
    }

    /** The loader that defined tsapi.web as this script sees it. */
    public static ClassLoader webLoader() {
        return web.class.getClassLoader();
    }
}
