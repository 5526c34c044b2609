package jwebtests;

import tsapi.exceptions.Abort;
import tsapi.standin.Engine;
import tsapi.web;

/**
 * One engine failure that the library cannot turn into Abort, in a JVM of its
 * own, for run_crash_outcome.sh to see how the JVM ends. The failure comes
 * in a call on the given thread: the JVM's main thread, another Java thread,
 * or a virtual thread (JDK 21 and later). Prints what the script sees from
 * Java: the call's end, and whether that thread is still alive; then ends
 * with System.exit(0).
 *   java -Djweb.engine=ENGINE -Djava.library.path=DIRS jwebtests.CrashRun KIND[:OVERRUN_BYTES] [main|java|virtual]
 */
public final class CrashRun {
    public static void main(String[] args) throws Exception {
        System.load(System.getProperty("jweb.engine"));
        Engine.reset();
        web.jweb_initialize();  // the library bound and the thread prepared
        String[] kind = args[0].split(":");
        int failure = Engine.class.getField(kind[0]).getInt(null);
        if (kind.length > 1) Engine.setOverrunBytes(Integer.parseInt(kind[1]));
        String where = args.length > 1 ? args[1] : "main";
        Runnable call = () -> {
            Engine.injectFailure(failure);
            try {
                System.out.println("CrashRun: the call returned " + web.jweb_url(
                    "home", "URL=http://shop.test/", new String[] {"Mode=HTML"}));
            } catch (Abort abort) {
                System.out.println("CrashRun: the call threw Abort");
            }
        };
        if (where.equals("main")) {
            call.run();
        } else {
            Thread thread = where.equals("virtual")
                ? (Thread) Thread.class.getMethod("startVirtualThread", Runnable.class).invoke(null, call)
                : startPlatformThread(call);
            thread.join(5000);
            System.out.println("CrashRun: after 5 s the " + where + " thread is "
                + (thread.isAlive() ? "alive" : "ended"));
            // What comes after, on another carrier or thread: does the JVM go on?
            Thread next = where.equals("virtual")
                ? (Thread) Thread.class.getMethod("startVirtualThread", Runnable.class).invoke(null,
                    (Runnable) CrashRun::plainCall)
                : startPlatformThread(CrashRun::plainCall);
            next.join(5000);
            System.out.println("CrashRun: a later " + where + " thread's call "
                + (next.isAlive() ? "did not end" : "ended"));
        }
        System.out.println("CrashRun: main ends");
        // As hosts end: the runtime waits for no other thread (one ended
        // inside the engine stays alive for it).
        System.exit(0);
    }

    private static void plainCall() {
        web.jweb_url("home", "URL=http://shop.test/", new String[] {"Mode=HTML"});
    }

    private static Thread startPlatformThread(Runnable body) {
        Thread thread = new Thread(body, "script");
        thread.start();
        return thread;
    }
}
