package jwebbench;

/** The floor: hand-written natives built only for the benchmarks. */
final class Baseline {
    static {
        System.loadLibrary("jweb_baseline_natives");
    }

    private Baseline() {}

    static native void empty();

    static native int url10(String name, String url, String[] attributes);
}
