package jwebtests;

import java.util.Set;

/**
 * How the engine stood when the library was loaded in this JVM, chosen by the
 * system property jweb.mode:
 *   bound      the engine was loaded first (it exports every entry);
 *   no_revert  the engine was loaded first and lacks web_revert_auto_header;
 *   absent     no engine at all;
 *   late       the engine was loaded only after the library.
 */
final class EngineMode {
    static final String MODE = System.getProperty("jweb.mode", "bound");
    static final boolean LIBJSIG = "--libjsig".equals(System.getProperty("jweb.libjsig"));
    /** The sampling profiler's handlers came before the library's (run_jvm_tests.sh --profiler). */
    static final boolean PROFILER_FIRST = "first".equals(System.getProperty("jweb.profiler"));
    /** The engine installed a crash reporter of its own when it was loaded (run_jvm_tests.sh --crash-reporter). */
    static final boolean CRASH_REPORTER = "1".equals(System.getenv("TSW_STANDIN_CRASH_REPORTER"));
    private static final Set<String> MODES = Set.of("bound", "no_revert", "absent", "late");
    private static boolean prepared;

    private EngineMode() {}

    /** Loads the engine and the library in this mode's order; once per JVM. */
    static synchronized void prepare() {
        if (prepared) return;
        if (!MODES.contains(MODE)) throw new IllegalArgumentException("jweb.mode " + MODE);
        if (PROFILER_FIRST) ProfilerDouble.install();
        String engine = System.getProperty("jweb.engine");
        if (MODE.equals("bound") || MODE.equals("no_revert")) System.load(engine);
        loadLibrary();
        if (MODE.equals("late")) System.load(engine);
        prepared = true;
    }

    private static void loadLibrary() {
        try {
            Class.forName("tsapi.web", true, EngineMode.class.getClassLoader());
        } catch (ClassNotFoundException e) {
            throw new IllegalStateException(e);
        }
    }

    /** Whether the stand-in engine is in the process, so its record can be read. */
    static boolean engineLoaded() {
        return !MODE.equals("absent");
    }

    /** Whether a method calling this entry reaches the engine in this mode. */
    static boolean bound(String entry) {
        switch (MODE) {
            case "bound": return true;
            case "no_revert": return !entry.equals("web_revert_auto_header");
            default: return false;
        }
    }
}
