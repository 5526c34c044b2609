package tsapi;

/**
 * The web replay engine's script interface. Each method but the four text
 * utilities calls one engine function and returns its result: the engine's own
 * status, or -55555 when the engine lacks the function (or the call failed,
 * then with {@link tsapi.exceptions.Abort} thrown), or -55556 when memory for
 * the call could not be had.
 *
 * The engine module must be loaded before this class is first used.
 */
public final class web {
    static {
        System.loadLibrary("jwebnative");
    }

    private web() {}

    // Start and end of the virtual user.
    public static native int jweb_initialize();
    public static native int jweb_terminate();

    // No argument.
    public static native int jweb_cleanup_cookies();
    public static native int jweb_cleanup_auto_headers();
    public static native int jweb_disable_keep_alive();
    public static native int jweb_enable_keep_alive();
    public static native int jweb_cache_cleanup();

    // One int.
    public static native int jweb_get_int_property(int property);

    // One string.
    public static native int jweb_old_url(String url);
    public static native int jweb_set_max_html_param_len(String length);
    public static native int jweb_set_proxy(String proxy);
    public static native int jweb_set_secure_proxy(String proxy);
    public static native int jweb_set_proxy_bypass(String hosts);
    public static native int jweb_set_connections_limit(String limit);
    public static native int jweb_add_cookie(String cookie);
    public static native int jweb_remove_cookie(String cookie);
    public static native int jweb_set_certificate(String index);
    public static native int jweb_revert_auto_header(String header);
    public static native int jweb_set_max_retries(String retries);
    public static native int jweb_set_proxy_bypass_local(String bypass);

    // Two strings.
    public static native int jweb_set_timeout(String category, String value);
    public static native int jweb_add_header(String header, String content);
    public static native int jweb_add_auto_header(String header, String content);
    public static native int jweb_save_header(String type, String param);
    public static native int jweb_set_sockets_option(String option, String value);

    // Three strings.
    public static native int jweb_setUser(String user, String password, String host);
    public static native int jweb_create_html_param(String param, String left, String right);
    public static native int jweb_set_user(String user, String password, String host);
    public static native int jweb_create_radio_button_param(String param, String group, String value);

    // Four strings.
    public static native int jweb_create_html_param_ex(String param, String left, String right, String instance);

    // Leading strings and an attribute list.
    public static native int jweb_url(String name, String url, String[] attributes);
    public static native int jweb_link(String name, String text, String[] attributes);
    public static native int jweb_set_option(String option, String value, String[] attributes);
    public static native int jweb_image(String name, String[] attributes);
    public static native int jweb_image_check(String name, String[] attributes);
    public static native int jweb_java_check(String name, String[] attributes);
    public static native int jweb_global_verification(String name, String[] attributes);
    public static native int jweb_reg_find(String text, String[] attributes);
    public static native int jweb_reg_save_param(String param, String[] attributes);
    public static native int jweb_remove_auto_header(String header, String[] attributes);
    public static native int jweb_create_html_query(String startQuery, String[] attributes);
    public static native int jweb_old_formSubmit(String form, String[] attributes);
    public static native int jweb_set_certificate_ex(String[] attributes);

    // Two lists.
    public static native int jweb_submit_form(String name, String[] attributes, String[] items);
    public static native int jweb_submit_data(String name, String action, String[] attributes, String[] items);
    public static native int jweb_web_find(String name, String[] attributes, String[] search);

    // Custom requests.
    public static native int jweb_custom_request(String name, String method, String[] attributes);
    public static native int jweb_custom_request2(String name, String method, String[] attributes, byte[] body);

    // Concurrent groups: the lists end with the last string.
    public static native int jweb_concurrent_start(String name, String[] attributes, String last);
    public static native int jweb_concurrent_end(String[] attributes, String last);

    // Text utilities, computed without the engine.
    public static native String jweb_util_url_encode(String text);
    public static native String jweb_util_url_decode(String text);
    public static native String jweb_util_base64encode(String text);
    public static native String jweb_util_base64decode(String text);
}
