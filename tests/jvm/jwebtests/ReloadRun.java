package jwebtests;

import java.io.File;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
import java.util.concurrent.CyclicBarrier;

/**
 * Hosts that give each script a class loader of its own, one way a run:
 * <ul>
 * <li>{@code reload} (the default): tsapi.web is loaded in one loader, used,
 * dropped until the runtime has unloaded the library, and loaded in the next,
 * for two rounds. After every step the codecs, an engine method and
 * NullPointerExceptions in interpreted and compiled code must work (a library
 * unmapped under its fault handlers kills the JVM at the next
 * NullPointerException).
 * <li>{@code two-live}: tsapi.web defined from tsapi.jar in two loaders at
 * once. The runtime refuses the library to the second with its
 * UnsatisfiedLinkError, and tsapi.web stays unusable there; the first loader's
 * scripts go on, injected faults included.
 * <li>{@code shared-parent}: the supported way, tsapi.jar in one loader that
 * is the parent of every script's loader; two scripts at once on two threads,
 * each with its own script class, both calling the engine and both getting
 * Abort from injected faults.
 * </ul>
 *   java -Djweb.engine=ENGINE -Djweb.tsapi.jar=TSAPI_JAR [-Djweb.control.jar=CONTROL_JAR]
 *        -Djava.library.path=DIRS jwebtests.ReloadRun [reload|two-live|shared-parent]
 * The last two need the stand-in's control (its jar, and its library on the path).
 */
public final class ReloadRun {
    private static int failures;

    private static final int ROUNDS = 200;

    public static void main(String[] args) throws Exception {
        System.load(System.getProperty("jweb.engine"));
        URL tsapiJar = jar("jweb.tsapi.jar");
        String way = args.length > 0 ? args[0] : "reload";
        switch (way) {
            case "reload": reload(tsapiJar); break;
            case "two-live": twoLiveLoaders(tsapiJar); break;
            case "shared-parent": sharedParent(tsapiJar); break;
            default: throw new IllegalArgumentException("no run " + way);
        }
        System.out.println("ReloadRun " + way + ": " + (failures == 0 ? "every check passed" : failures + " checks failed"));
        System.exit(failures == 0 ? 0 : 1);
    }

    private static URL jar(String property) throws Exception {
        return Path.of(System.getProperty(property)).toUri().toURL();
    }

    private static void reload(URL tsapiJar) throws Exception {
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
    }

    private static void twoLiveLoaders(URL tsapiJar) throws Exception {
        URL testsJar = ReloadRun.class.getProtectionDomain().getCodeSource().getLocation();
        URLClassLoader first = new URLClassLoader(new URL[] {tsapiJar, jar("jweb.control.jar"), testsJar},
            ClassLoader.getPlatformClassLoader());
        checkAll("first loader", first);
        checkScripts("first loader", first);

        // The runtime keeps a library to the loader that loaded it first, by its canonical path.
        URLClassLoader second = new URLClassLoader(new URL[] {tsapiJar}, ClassLoader.getPlatformClassLoader());
        String refused = "Native Library " + libraryFile("jwebnative").getCanonicalPath()
            + " already loaded in another classloader";
        Throwable thrown = initialize(second);
        check(thrown instanceof UnsatisfiedLinkError && refused.equals(thrown.getMessage()),
            "second loader: " + thrown + ", not UnsatisfiedLinkError: " + refused);
        // Its static initializer failed, so every later use there fails as well.
        thrown = initialize(second);
        check(thrown instanceof NoClassDefFoundError && "Could not initialize class tsapi.web".equals(thrown.getMessage()),
            "second loader, again: " + thrown + ", not NoClassDefFoundError: Could not initialize class tsapi.web");
        // Runtimes that keep why the initializer failed name the refusal there.
        Throwable why = thrown == null ? null : thrown.getCause();
        String kept = "Exception java.lang.UnsatisfiedLinkError: " + refused + " [in thread \"main\"]";
        check(why == null || kept.equals(why.getMessage()), "second loader, again, why: " + why + ", not " + kept);
        second.close();

        checkAll("first loader after the second was refused", first);
        checkScripts("first loader after the second was refused", first);
    }

    private static void sharedParent(URL tsapiJar) throws Exception {
        URL testsJar = ReloadRun.class.getProtectionDomain().getCodeSource().getLocation();
        URLClassLoader shared = new URLClassLoader(new URL[] {tsapiJar, jar("jweb.control.jar")},
            ClassLoader.getPlatformClassLoader());
        checkAll("shared loader", shared);
        ClassLoader[] scripts = {new URLClassLoader(new URL[] {testsJar}, shared),
            new URLClassLoader(new URL[] {testsJar}, shared)};
        checkScripts("two script loaders", scripts);
    }

    /** The file System.loadLibrary(name) takes: the first on java.library.path. */
    private static File libraryFile(String name) {
        for (String dir : System.getProperty("java.library.path").split(File.pathSeparator)) {
            File file = new File(dir, System.mapLibraryName(name));
            if (file.exists()) return file;
        }
        throw new IllegalStateException(name + " is not on java.library.path");
    }

    /** What defining and initializing tsapi.web in the loader threw; null when nothing. */
    private static Throwable initialize(ClassLoader loader) {
        try {
            Class.forName("tsapi.web", true, loader);
            return null;
        } catch (Throwable t) {
            return t;
        }
    }

    /**
     * LoaderScript, defined anew in each loader, run on a thread of its own
     * per loader, all at once, round by round.
     */
    private static void checkScripts(String step, ClassLoader... loaders) throws Exception {
        Class<?>[] scripts = new Class<?>[loaders.length];
        for (int i = 0; i < loaders.length; i++) {
            scripts[i] = Class.forName("jwebtests.LoaderScript", true, loaders[i]);
            check(scripts[i].getClassLoader() == loaders[i], step + ": script " + i + " defined in its own loader");
        }
        ClassLoader webLoader = (ClassLoader) scripts[0].getMethod("webLoader").invoke(null);
        for (Class<?> script : scripts)
            check(script.getMethod("webLoader").invoke(null) == webLoader, step + ": one tsapi.web for every script");
        scripts[0].getMethod("resetEngine").invoke(null);
        CyclicBarrier together = new CyclicBarrier(scripts.length);
        String[] wrong = new String[scripts.length];
        Thread[] threads = new Thread[scripts.length];
        for (int i = 0; i < scripts.length; i++) {
            Method run = scripts[i].getMethod("run", String.class, int.class, CyclicBarrier.class);
            final int k = i;
            threads[i] = new Thread(() -> {
                try {
                    wrong[k] = (String) run.invoke(null, "script" + k, ROUNDS, together);
                } catch (InvocationTargetException e) {
                    wrong[k] = "script" + k + ": " + e.getCause();
                } catch (ReflectiveOperationException e) {
                    wrong[k] = "script" + k + ": " + e;
                }
            }, "script" + i);
            threads[i].start();
        }
        for (Thread t : threads) t.join();
        for (String w : wrong) check(w.isEmpty(), step + ": " + w);
        checkNullPointerExceptions(step + ", after the scripts");
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
