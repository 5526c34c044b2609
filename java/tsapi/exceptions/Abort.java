package tsapi.exceptions;

/**
 * Thrown by an engine method of {@link tsapi.web} when the engine faulted inside the call (SIGSEGV,
 * SIGBUS, SIGFPE, SIGILL, an access violation, an engine stack overflow caught by the library's guard)
 * or threw a C++ exception out of it; by a text utility of {@code tsapi.web} when its computation
 * faulted. The method's result is then -55555 (an empty string for a text utility), and everything
 * the call borrowed has been given back.
 *
 * <p>The thread and the JVM carry on, but the engine's state is suspect: a fault while the engine
 * held a lock leaves that lock held. A host should end the virtual user at its first {@code Abort}
 * and not let that user's thread call the engine again. The library throws it with a null message.
 */
public class Abort extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** An {@code Abort} with a null message, as the library throws it. */
    public Abort() {
        super();
    }

    /**
     * An {@code Abort} with a message, for hosts and tests that throw it themselves.
     *
     * @param message the detail message, or null
     */
    public Abort(String message) {
        super(message);
    }
}
