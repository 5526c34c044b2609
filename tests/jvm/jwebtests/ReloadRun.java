package jwebtests;

import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;

/**
 * A host that gives each script a class loader of its own: tsapi.web is
 * loaded in one, used, dropped until the runtime has unloaded the library,
 * and loaded in the next, for two rounds. After every step the codecs, an
 * engine method and NullPointerExceptions in interpreted and compiled code
 * must work (a library unmapped under its fault handlers kills the JVM at
 * the next NullPointerException).
 *   java -Djweb.engine=ENGINE -Djweb.tsapi.jar=TSAPI_JAR -Djava.library.path=DIR jwebtests.ReloadRun
 */
public final class ReloadRun {
    private static int failures;

    public static void main(String[] args) throws Exception {
        System.load(System.getProperty("jweb.engine"));
        URL tsapiJar = Path.of(System.getProperty("jweb.tsapi.jar")).toUri().toURL();
        URLClassLoader loader = loadedLoader(tsapiJar, 0);
        checkAll("first load", loader);
        for (int round = 1; round <= 2; round++) {
            loader.close();
            loader = null;
            // The runtime unloads the library once the loader is collected; until then
            // another loader cannot load it, so the first loader that can shows the unload.
            URLClassLoader next = loadedLoader(tsapiJar, 60_000);
            check(next != null, "round " + round + ": the library was unloaded and loaded again");
            if (next == null) break;
            checkNullPointerExceptions("round " + round + " after the unload");
            checkAll("round " + round + " second loader", next);
            loader = next;
        }
        System.out.println("ReloadRun: " + (failures == 0 ? "every check passed" : failures + " checks failed"));
        System.exit(failures == 0 ? 0 : 1);
    }

    /** A loader of its own in which tsapi.web loaded its library; null when none could within the time. */
    private static URLClassLoader loadedLoader(URL tsapiJar, long patienceMillis) throws Exception {
        long deadline = System.currentTimeMillis() + patienceMillis;
        while (true) {
            URLClassLoader loader = new URLClassLoader(new URL[] {tsapiJar}, ClassLoader.getPlatformClassLoader());
            try {
                Class.forName("tsapi.web", true, loader);
                return loader;
            } catch (UnsatisfiedLinkError stillLoadedInTheOldLoader) {
                loader.close();
                if (System.currentTimeMillis() > deadline) return null;
                System.gc();
                Thread.sleep(50);
            }
        }
    }

    /** On a thread of its own that ends before the loader is dropped, as a host runs each script. */
    private static void checkAll(String step, ClassLoader loader) throws Exception {
        Throwable[] thrown = new Throwable[1];
        Thread script = new Thread(() -> {
            try {
                checkOnThisThread(step, loader);
            } catch (Throwable t) {
                thrown[0] = t;
            }
        });
        script.start();
        script.join();
        check(thrown[0] == null, step + ": " + thrown[0]);
    }

    private static void checkOnThisThread(String step, ClassLoader loader) throws Exception {
        Class<?> web = Class.forName("tsapi.web", true, loader);
        Method encode = web.getMethod("jweb_util_base64encode", String.class);
        Method decode = web.getMethod("jweb_util_url_decode", String.class);
        check("YWJj".equals(encode.invoke(null, "abc")), step + ": jweb_util_base64encode");
        check("a b".equals(decode.invoke(null, "a+b")), step + ": jweb_util_url_decode");
        // The engine was loaded before the library's first load, so the table is bound.
        check(Integer.valueOf(0).equals(web.getMethod("jweb_initialize").invoke(null)), step + ": jweb_initialize");
        checkNullPointerExceptions(step);
    }

    /** The runtime's own fault handling: interpreted first, then compiled. */
    private static void checkNullPointerExceptions(String step) {
        check(NullChecks.caught(200_000) == 100_000, step + ": NullPointerException");
    }

    private static void check(boolean ok, String what) {
        if (!ok) {
            failures++;
            System.out.println("FAILED: " + what);
        }
    }
}
