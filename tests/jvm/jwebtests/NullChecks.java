package jwebtests;

/**
 * Java code whose null dereferences the JVM turns into NullPointerException
 * through its own fault handler: interpreted at first, compiled once hot.
 */
final class NullChecks {
    private NullChecks() {}

    private static int length(int[] array) {
        return array.length;
    }

    /** Dereferences null in every other one of `iterations` calls: the NullPointerExceptions caught. */
    static int caught(int iterations) {
        int[] array = new int[3];
        int caught = 0;
        for (int i = 0; i < iterations; i++) {
            try {
                length((i & 1) == 0 ? null : array);
            } catch (NullPointerException expected) {
                caught++;
            }
        }
        return caught;
    }

    /** What the engine calls back (Engine.setJavaCallback): 10,000 NullPointerExceptions. */
    static int insideTheEngineCall() {
        return caught(20_000);
    }
}
