package jwebtests;

import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * The 50 engine methods as rows: Java method, engine entry, and the layout of
 * the engine's argument list, one token per argument group:
 *   S  a Java string parameter (one argument)
 *   I  a Java int parameter (one argument)
 *   A  a string array parameter (one argument per element)
 *   A0 a string array parameter whose empty or null form is one null argument
 *   B  a byte array parameter (one argument, the bytes up to the first zero;
 *      none when the array is null)
 *   LAST, ENDFORM, ITEMDATA  the marker itself, not a parameter
 */
final class EngineMethods {
    /** One row; a class rather than a record: the tests compile for release 11. */
    static final class Row {
        private final String method;
        private final String entry;
        private final String layout;

        Row(String method, String entry, String layout) {
            this.method = method;
            this.entry = entry;
            this.layout = layout;
        }

        String method() {
            return method;
        }

        String entry() {
            return entry;
        }

        String layout() {
            return layout;
        }

        @Override
        public String toString() {
            return "Row[method=" + method + ", entry=" + entry + ", layout=" + layout + "]";
        }

        List<String> tokens() {
            return layout.isEmpty() ? List.of() : Arrays.asList(layout.split(" "));
        }

        Class<?>[] parameterTypes() {
            List<Class<?>> types = new ArrayList<>();
            for (String t : tokens()) {
                switch (t) {
                    case "S": types.add(String.class); break;
                    case "I": types.add(int.class); break;
                    case "A": case "A0": types.add(String[].class); break;
                    case "B": types.add(byte[].class); break;
                    default: break;  // a marker
                }
            }
            return types.toArray(new Class<?>[0]);
        }

        Method javaMethod() {
            try {
                return tsapi.web.class.getMethod(method, parameterTypes());
            } catch (NoSuchMethodException e) {
                throw new AssertionError(e);
            }
        }

        /** Calls the method; an exception it throws comes out unwrapped. */
        int invoke(Object... args) throws Throwable {
            try {
                return (Integer) javaMethod().invoke(null, args);
            } catch (InvocationTargetException e) {
                throw e.getCause();
            }
        }

        /** The argument list the engine should receive for these Java arguments. */
        List<byte[]> expectedArguments(Object... args) {
            List<byte[]> expected = new ArrayList<>();
            int p = 0;
            for (String t : tokens()) {
                switch (t) {
                    case "S": expected.add(mutf8((String) args[p++])); break;
                    case "I": expected.add(Integer.toString((Integer) args[p++]).getBytes()); break;
                    case "A": case "A0": {
                        String[] array = (String[]) args[p++];
                        if (array == null || array.length == 0) {
                            if (t.equals("A0")) expected.add(null);
                        } else {
                            for (String s : array) expected.add(mutf8(s));
                        }
                        break;
                    }
                    case "B": {
                        byte[] body = (byte[]) args[p++];
                        if (body != null) expected.add(cString(body));
                        break;
                    }
                    default: expected.add(t.getBytes());  // the marker
                }
            }
            return expected;
        }

        boolean isList() {
            return layout.contains("A");
        }

        boolean hasNoMarker() {
            return layout.contains("A0");
        }
    }

    static final List<Row> ROWS = List.of(
        // lifecycle
        new Row("jweb_initialize", "InitWebVuser", ""),
        new Row("jweb_terminate", "TerminateWebVuser", ""),
        // no argument
        new Row("jweb_cleanup_cookies", "web_cleanup_cookies", ""),
        new Row("jweb_cleanup_auto_headers", "web_cleanup_cookies", ""),
        new Row("jweb_disable_keep_alive", "web_disable_keep_alive", ""),
        new Row("jweb_enable_keep_alive", "web_enable_keep_alive", ""),
        new Row("jweb_cache_cleanup", "web_cache_cleanup", ""),
        // one int
        new Row("jweb_get_int_property", "web_get_int_property", "I"),
        // one string
        new Row("jweb_old_url", "URL", "S"),
        new Row("jweb_set_max_html_param_len", "web_set_max_html_param_len", "S"),
        new Row("jweb_set_proxy", "web_set_proxy", "S"),
        new Row("jweb_set_secure_proxy", "web_set_secure_proxy", "S"),
        new Row("jweb_set_proxy_bypass", "web_set_proxy_bypass", "S"),
        new Row("jweb_set_connections_limit", "web_set_connections_limit", "S"),
        new Row("jweb_add_cookie", "web_add_cookie", "S"),
        new Row("jweb_remove_cookie", "web_remove_cookie", "S"),
        new Row("jweb_set_certificate", "web_set_certificate", "S"),
        new Row("jweb_revert_auto_header", "web_revert_auto_header", "S"),
        new Row("jweb_set_max_retries", "web_set_max_retries", "S"),
        new Row("jweb_set_proxy_bypass_local", "web_set_proxy_bypass_local", "S"),
        // two strings
        new Row("jweb_set_timeout", "web_set_timeout", "S S"),
        new Row("jweb_add_header", "web_add_header", "S S"),
        new Row("jweb_add_auto_header", "web_add_auto_header", "S S"),
        new Row("jweb_save_header", "web_save_header", "S S"),
        new Row("jweb_set_sockets_option", "web_set_sockets_option", "S S"),
        // three strings
        new Row("jweb_setUser", "SetUser", "S S S"),
        new Row("jweb_create_html_param", "web_create_html_param", "S S S"),
        new Row("jweb_set_user", "web_set_user", "S S S"),
        new Row("jweb_create_radio_button_param", "web_create_radio_button_param", "S S S"),
        // four strings
        new Row("jweb_create_html_param_ex", "web_create_html_param_ex", "S S S S"),
        // leading strings and an attribute list
        new Row("jweb_url", "web_url", "S S A LAST"),
        new Row("jweb_link", "web_link", "S S A LAST"),
        new Row("jweb_set_option", "web_set_option", "S S A LAST"),
        new Row("jweb_image", "web_image", "S A LAST"),
        new Row("jweb_image_check", "web_image_check", "S A LAST"),
        new Row("jweb_java_check", "web_java_check", "S A LAST"),
        new Row("jweb_global_verification", "web_global_verification", "S A LAST"),
        new Row("jweb_reg_find", "web_reg_find", "S A LAST"),
        new Row("jweb_reg_save_param", "web_reg_save_param", "S A LAST"),
        new Row("jweb_remove_auto_header", "web_remove_auto_header", "S A LAST"),
        new Row("jweb_create_html_query", "web_create_html_query", "S A LAST"),
        new Row("jweb_old_formSubmit", "FormSubmit", "S A ENDFORM"),
        new Row("jweb_set_certificate_ex", "web_set_certificate_ex", "A LAST"),
        // two lists
        new Row("jweb_submit_form", "web_submit_form", "S A ITEMDATA A LAST"),
        new Row("jweb_submit_data", "web_submit_data", "S S A ITEMDATA A LAST"),
        new Row("jweb_web_find", "web_find", "S A A LAST"),
        // custom requests
        new Row("jweb_custom_request", "web_custom_request", "S S A LAST"),
        new Row("jweb_custom_request2", "web_custom_request", "S S A B LAST"),
        // concurrent groups
        new Row("jweb_concurrent_start", "web_concurrent_start", "S A0 S"),
        new Row("jweb_concurrent_end", "web_concurrent_end", "A0 S"));

    private EngineMethods() {}

    static Row row(String method) {
        return ROWS.stream().filter(r -> r.method().equals(method)).findFirst().orElseThrow();
    }

    /** The modified UTF-8 bytes the JVM hands out for a string; null for null. */
    static byte[] mutf8(String s) {
        if (s == null) return null;
        try {
            ByteArrayOutputStream bytes = new ByteArrayOutputStream();
            new DataOutputStream(bytes).writeUTF(s);
            return Arrays.copyOfRange(bytes.toByteArray(), 2, bytes.size());
        } catch (IOException e) {
            throw new AssertionError(e);
        }
    }

    /** What a reader of a C string sees of these bytes. */
    static byte[] cString(byte[] bytes) {
        for (int i = 0; i < bytes.length; i++) if (bytes[i] == 0) return Arrays.copyOf(bytes, i);
        return bytes;
    }

    /** Renders an argument list for assertion messages. */
    static String show(List<byte[]> args) {
        StringBuilder text = new StringBuilder("(");
        for (int i = 0; i < args.size(); i++) {
            if (i > 0) text.append(", ");
            byte[] a = args.get(i);
            if (a == null) {
                text.append("NULL");
                continue;
            }
            text.append('"');
            for (byte b : a) {
                int c = b & 0xff;
                if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') text.append((char) c);
                else text.append(String.format("\\x%02x", c));
            }
            text.append('"');
        }
        return text.append(')').toString();
    }
}
