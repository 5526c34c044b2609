/**
 * The web replay engine's script interface: {@link tsapi.web}, whose static native methods the
 * jwebnative library turns into calls to the engine's C functions.
 */
package tsapi;
