package tsapi.exceptions;

/** Thrown by a native method of {@link tsapi.web} when the engine call it made failed. */
public class Abort extends RuntimeException {
    private static final long serialVersionUID = 1L;

    public Abort() {
        super();
    }

    public Abort(String message) {
        super(message);
    }
}
