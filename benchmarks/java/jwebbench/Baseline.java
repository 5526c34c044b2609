package jwebbench;

/**
 * The limit: hand-written natives built only for the benchmarks, each making
 * the JNI calls of one library method in the same order and calling the same
 * engine entry directly, without a guard.
 */
final class Baseline {
    static {
        System.loadLibrary("jweb_baseline_natives");
    }

    private Baseline() {}

    static native void empty();

    static native int initialize();

    static native int setTimeout(String category, String value);

    /** 0, 10, 100, 300, 1000 or 5000 attributes; -1 for other lengths. */
    static native int url(String name, String url, String[] attributes);

    /** 10 attributes and 10 or 300 items; -1 otherwise. */
    static native int submitData(String name, String action, String[] attributes, String[] items);

    /** 10 attributes; -1 otherwise. */
    static native int customRequest2(String name, String method, String[] attributes, byte[] body);

    /** 10 attributes; -1 otherwise. */
    static native int concurrentStart(String name, String[] attributes, String last);

    /** The codecs' floor: the text's bytes borrowed and made into a new string. */
    static native String copy(String text);
}
