/** The exception that tells a script an engine call failed: {@link tsapi.exceptions.Abort}. */
package tsapi.exceptions;
