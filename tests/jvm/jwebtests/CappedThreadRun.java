package jwebtests;

import java.util.concurrent.atomic.AtomicInteger;
import tsapi.exceptions.Abort;
import tsapi.standin.Engine;
import tsapi.web;

/**
 * A thread whose first engine call comes when the process can make no new
 * mapping (its address space capped, as when a host runs out of it or of
 * mappings): an engine stack overflow there must still become Abort, again
 * and again. A JVM of its own, since without a signal stack the overflow
 * ends the process.
 *   java -Djweb.engine=ENGINE -Djava.library.path=DIRS jwebtests.CappedThreadRun
 */
public final class CappedThreadRun {
    public static void main(String[] args) throws Exception {
        System.load(System.getProperty("jweb.engine"));
        Engine.reset();
        // The guard in place, and Abort loaded, before the cap.
        Engine.injectFailure(Engine.FAIL_SEGV);
        try {
            web.jweb_initialize();
        } catch (Abort expected) {
            // as it should
        }
        AtomicInteger aborts = new AtomicInteger();
        AtomicInteger returned = new AtomicInteger();
        final int rounds = 3;
        Thread first = new Thread(() -> {
            Engine.limitAddressSpace(true);
            try {
                for (int i = 0; i < rounds; i++) {
                    Engine.injectFailure(Engine.FAIL_STACK_OVERFLOW);
                    try {
                        web.jweb_initialize();
                        returned.incrementAndGet();
                    } catch (Abort expected) {
                        aborts.incrementAndGet();
                    }
                }
            } finally {
                Engine.limitAddressSpace(false);
            }
        });
        first.start();
        first.join();
        boolean passed = aborts.get() == rounds && returned.get() == 0;
        System.out.println("CappedThreadRun: " + aborts.get() + " of " + rounds
            + " overflows on a thread that began under the cap became Abort"
            + (passed ? "" : " (FAILED)"));
        System.exit(passed ? 0 : 1);
    }
}
