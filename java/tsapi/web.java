package tsapi;

/**
 * The web replay engine's script interface. Each method but the four text
 * utilities calls one engine function and returns its result: the engine's own
 * status, or -55555 when the engine lacks the function (or the call failed,
 * then with {@link tsapi.exceptions.Abort} thrown), or -55556 when memory for
 * the call could not be had.
 *
 * <p>The engine module must be loaded before this class is first used: the library binds only
 * an engine already in the process. Every method, the entry it calls and the arguments that entry
 * receives are in the method reference (docs/method-reference.md), made from the same table as the
 * comments here.
 */
public final class web {
    // java.library.path first, then the natives jar on the class path; the
    // loading calls are this class's own, so the library is its loader's.
    static {
        NativeLibrary.load("jwebnative", web.class, name -> System.loadLibrary(name), path -> System.load(path));
    }

    private web() {}

    // ---- methods: made from methods/method_table.h by method-reference; do not edit by hand ----

    /**
     * Starts the virtual user in the engine: the first call of a script.
     *
     * <p>Calls the engine's {@code InitWebVuser}, which receives {@code InitWebVuser()}.
     *
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code InitWebVuser}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_initialize();

    /**
     * Ends the virtual user in the engine: the last call of a script.
     *
     * <p>Calls the engine's {@code TerminateWebVuser}, which receives {@code TerminateWebVuser()}.
     *
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code TerminateWebVuser}, or when the call failed (then {@link tsapi.exceptions.Abort}
     * is thrown)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_terminate();

    /**
     * Forgets every cookie the engine holds for this virtual user.
     *
     * <p>Calls the engine's {@code web_cleanup_cookies}, which receives
     * {@code web_cleanup_cookies()}.
     *
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_cleanup_cookies}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_cleanup_cookies();

    /**
     * Meant to drop every header added with {@link #jweb_add_auto_header}; the engine has no entry
     * of its own for it, so it clears the cookies instead, as {@link #jweb_cleanup_cookies} does.
     *
     * <p>Calls the engine's {@code web_cleanup_cookies}, which receives
     * {@code web_cleanup_cookies()}.
     *
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_cleanup_cookies}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_cleanup_auto_headers();

    /**
     * Makes the engine close each connection after its request.
     *
     * <p>Calls the engine's {@code web_disable_keep_alive}, which receives
     * {@code web_disable_keep_alive()}.
     *
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_disable_keep_alive}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_disable_keep_alive();

    /**
     * Makes the engine keep connections open between requests again.
     *
     * <p>Calls the engine's {@code web_enable_keep_alive}, which receives
     * {@code web_enable_keep_alive()}.
     *
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_enable_keep_alive}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_enable_keep_alive();

    /**
     * Empties the engine's cache of this virtual user's resources.
     *
     * <p>Calls the engine's {@code web_cache_cleanup}, which receives {@code web_cache_cleanup()}.
     *
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_cache_cleanup}, or when the call failed (then {@link tsapi.exceptions.Abort}
     * is thrown)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_cache_cleanup();

    /**
     * Reads one number about the last request from the engine, such as its HTTP status.
     *
     * <p>Calls the engine's {@code web_get_int_property}, which receives
     * {@code web_get_int_property(property)}.
     *
     * @param property passed as a C {@code int}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_get_int_property}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_get_int_property(int property);

    /**
     * Requests a page by its URL, in the older form of the step, without attributes.
     *
     * <p>Calls the engine's {@code URL}, which receives {@code URL(url)}.
     *
     * @param url passed as a C string of its modified UTF-8; null is refused: the method returns
     * -55555 without calling the engine
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code URL}, or when {@code url} is null, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_old_url(String url);

    /**
     * Sets the longest value the engine saves into a parameter from a page.
     *
     * <p>Calls the engine's {@code web_set_max_html_param_len}, which receives
     * {@code web_set_max_html_param_len(length)}.
     *
     * @param length passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_max_html_param_len}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_max_html_param_len(String length);

    /**
     * Sends the following HTTP requests through this proxy.
     *
     * <p>Calls the engine's {@code web_set_proxy}, which receives {@code web_set_proxy(proxy)}.
     *
     * @param proxy passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_proxy}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_proxy(String proxy);

    /**
     * Sends the following HTTPS requests through this proxy.
     *
     * <p>Calls the engine's {@code web_set_secure_proxy}, which receives
     * {@code web_set_secure_proxy(proxy)}.
     *
     * @param proxy passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_secure_proxy}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_secure_proxy(String proxy);

    /**
     * Names the hosts reached without the proxy.
     *
     * <p>Calls the engine's {@code web_set_proxy_bypass}, which receives
     * {@code web_set_proxy_bypass(hosts)}.
     *
     * @param hosts passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_proxy_bypass}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_proxy_bypass(String hosts);

    /**
     * Sets how many connections the engine opens at once for this virtual user.
     *
     * <p>Calls the engine's {@code web_set_connections_limit}, which receives
     * {@code web_set_connections_limit(limit)}.
     *
     * @param limit passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_connections_limit}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_connections_limit(String limit);

    /**
     * Adds a cookie to the engine's cookies, as a server's Set-Cookie would.
     *
     * <p>Calls the engine's {@code web_add_cookie}, which receives {@code web_add_cookie(cookie)}.
     *
     * @param cookie passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_add_cookie}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_add_cookie(String cookie);

    /**
     * Removes a cookie from the engine's cookies.
     *
     * <p>Calls the engine's {@code web_remove_cookie}, which receives
     * {@code web_remove_cookie(cookie)}.
     *
     * @param cookie passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_remove_cookie}, or when the call failed (then {@link tsapi.exceptions.Abort}
     * is thrown); -55556 when memory for the call could not be had (when the JVM could not hand out
     * a string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_remove_cookie(String cookie);

    /**
     * Picks the client certificate the engine presents, by its index.
     *
     * <p>Calls the engine's {@code web_set_certificate}, which receives
     * {@code web_set_certificate(index)}.
     *
     * @param index passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_certificate}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_certificate(String index);

    /**
     * Stops adding one header added with {@link #jweb_add_auto_header}.
     *
     * <p>Calls the engine's {@code web_revert_auto_header}, which receives
     * {@code web_revert_auto_header(header)}.
     *
     * @param header passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_revert_auto_header}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_revert_auto_header(String header);

    /**
     * Sets how many times the engine retries a failed request.
     *
     * <p>Calls the engine's {@code web_set_max_retries}, which receives
     * {@code web_set_max_retries(retries)}.
     *
     * @param retries passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_max_retries}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_max_retries(String retries);

    /**
     * Says whether local addresses are reached without the proxy.
     *
     * <p>Calls the engine's {@code web_set_proxy_bypass_local}, which receives
     * {@code web_set_proxy_bypass_local(bypass)}.
     *
     * @param bypass passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_proxy_bypass_local}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_proxy_bypass_local(String bypass);

    /**
     * Sets one of the engine's timeouts, named by its category.
     *
     * <p>Calls the engine's {@code web_set_timeout}, which receives
     * {@code web_set_timeout(category, value)}.
     *
     * @param category passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param value passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_timeout}, or when the call failed (then {@link tsapi.exceptions.Abort}
     * is thrown); -55556 when memory for the call could not be had (when the JVM could not hand out
     * a string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_timeout(String category, String value);

    /**
     * Adds a header to the next request only.
     *
     * <p>Calls the engine's {@code web_add_header}, which receives
     * {@code web_add_header(header, content)}.
     *
     * @param header passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param content passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_add_header}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_add_header(String header, String content);

    /**
     * Adds a header to every following request.
     *
     * <p>Calls the engine's {@code web_add_auto_header}, which receives
     * {@code web_add_auto_header(header, content)}.
     *
     * @param header passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param content passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_add_auto_header}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_add_auto_header(String header, String content);

    /**
     * Saves the headers of the following requests or responses into a parameter.
     *
     * <p>Calls the engine's {@code web_save_header}, which receives
     * {@code web_save_header(type, param)}.
     *
     * @param type passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param param passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_save_header}, or when the call failed (then {@link tsapi.exceptions.Abort}
     * is thrown); -55556 when memory for the call could not be had (when the JVM could not hand out
     * a string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_save_header(String type, String param);

    /**
     * Sets one option of the engine's connections, such as its TLS version.
     *
     * <p>Calls the engine's {@code web_set_sockets_option}, which receives
     * {@code web_set_sockets_option(option, value)}.
     *
     * @param option passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param value passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_sockets_option}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_sockets_option(String option, String value);

    /**
     * Gives the user name and password for a host's authentication, in the older form of the step.
     *
     * <p>Calls the engine's {@code SetUser}, which receives {@code SetUser(user, password, host)}.
     *
     * @param user passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param password passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param host passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code SetUser}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_setUser(String user, String password, String host);

    /**
     * Saves the text of the next page between two boundaries into a parameter.
     *
     * <p>Calls the engine's {@code web_create_html_param}, which receives
     * {@code web_create_html_param(param, left, right)}.
     *
     * @param param passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param left passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param right passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_create_html_param}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_create_html_param(String param, String left, String right);

    /**
     * Gives the user name and password for a host's authentication.
     *
     * <p>Calls the engine's {@code web_set_user}, which receives
     * {@code web_set_user(user, password, host)}.
     *
     * @param user passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param password passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param host passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_user}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_user(String user, String password, String host);

    /**
     * Saves the value of one radio button of the next page into a parameter.
     *
     * <p>Calls the engine's {@code web_create_radio_button_param}, which receives
     * {@code web_create_radio_button_param(param, group, value)}.
     *
     * @param param passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param group passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param value passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_create_radio_button_param}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_create_radio_button_param(String param, String group, String value);

    /**
     * Saves the text of the next page between two boundaries into a parameter, choosing which
     * occurrence.
     *
     * <p>Calls the engine's {@code web_create_html_param_ex}, which receives
     * {@code web_create_html_param_ex(param, left, right, instance)}.
     *
     * @param param passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param left passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param right passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param instance passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_create_html_param_ex}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_create_html_param_ex(String param, String left, String right, String instance);

    /**
     * Requests a page by its URL, with its resources as the attributes say.
     *
     * <p>Calls the engine's {@code web_url}, which receives
     * {@code web_url(name, url, attributes..., LAST)}; {@code LAST} is a marker string the library
     * adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param url passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_url}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_url(String name, String url, String[] attributes);

    /**
     * Follows the link of the last page whose text is given.
     *
     * <p>Calls the engine's {@code web_link}, which receives
     * {@code web_link(name, text, attributes..., LAST)}; {@code LAST} is a marker string the
     * library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param text passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_link}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_link(String name, String text, String[] attributes);

    /**
     * Sets one of the engine's options for the following steps.
     *
     * <p>Calls the engine's {@code web_set_option}, which receives
     * {@code web_set_option(option, value, attributes..., LAST)}; {@code LAST} is a marker string
     * the library adds.
     *
     * @param option passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param value passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_option}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_option(String option, String value, String[] attributes);

    /**
     * Follows the image link of the last page that the attributes name.
     *
     * <p>Calls the engine's {@code web_image}, which receives
     * {@code web_image(name, attributes..., LAST)}; {@code LAST} is a marker string the library
     * adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_image}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_image(String name, String[] attributes);

    /**
     * Checks that the next page holds the image the attributes describe.
     *
     * <p>Calls the engine's {@code web_image_check}, which receives
     * {@code web_image_check(name, attributes..., LAST)}; {@code LAST} is a marker string the
     * library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_image_check}, or when the call failed (then {@link tsapi.exceptions.Abort}
     * is thrown); -55556 when memory for the call could not be had (when the JVM could not hand out
     * a string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_image_check(String name, String[] attributes);

    /**
     * Checks the Java applets of the next page.
     *
     * <p>Calls the engine's {@code web_java_check}, which receives
     * {@code web_java_check(name, attributes..., LAST)}; {@code LAST} is a marker string the
     * library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_java_check}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_java_check(String name, String[] attributes);

    /**
     * Checks every following page for the text the attributes give.
     *
     * <p>Calls the engine's {@code web_global_verification}, which receives
     * {@code web_global_verification(name, attributes..., LAST)}; {@code LAST} is a marker string
     * the library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_global_verification}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_global_verification(String name, String[] attributes);

    /**
     * Checks the next response for the text the attributes give.
     *
     * <p>Calls the engine's {@code web_reg_find}, which receives
     * {@code web_reg_find(text, attributes..., LAST)}; {@code LAST} is a marker string the library
     * adds.
     *
     * @param text passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_reg_find}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_reg_find(String text, String[] attributes);

    /**
     * Saves text of the next response, between boundaries the attributes give, into a parameter.
     *
     * <p>Calls the engine's {@code web_reg_save_param}, which receives
     * {@code web_reg_save_param(param, attributes..., LAST)}; {@code LAST} is a marker string the
     * library adds.
     *
     * @param param passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_reg_save_param}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_reg_save_param(String param, String[] attributes);

    /**
     * Stops adding a header added with {@link #jweb_add_auto_header}.
     *
     * <p>Calls the engine's {@code web_remove_auto_header}, which receives
     * {@code web_remove_auto_header(header, attributes..., LAST)}; {@code LAST} is a marker string
     * the library adds.
     *
     * @param header passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_remove_auto_header}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_remove_auto_header(String header, String[] attributes);

    /**
     * Builds a query string from the next page's form into a parameter.
     *
     * <p>Calls the engine's {@code web_create_html_query}, which receives
     * {@code web_create_html_query(startQuery, attributes..., LAST)}; {@code LAST} is a marker
     * string the library adds.
     *
     * @param startQuery passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_create_html_query}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_create_html_query(String startQuery, String[] attributes);

    /**
     * Submits a form of the last page, in the older form of the step.
     *
     * <p>Calls the engine's {@code FormSubmit}, which receives
     * {@code FormSubmit(form, attributes..., ENDFORM)}; {@code ENDFORM} is a marker string the
     * library adds.
     *
     * @param form passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code FormSubmit}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_old_formSubmit(String form, String[] attributes);

    /**
     * Picks the client certificate the engine presents, with the file and key it is in.
     *
     * <p>Calls the engine's {@code web_set_certificate_ex}, which receives
     * {@code web_set_certificate_ex(attributes..., LAST)}; {@code LAST} is a marker string the
     * library adds.
     *
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_set_certificate_ex}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_set_certificate_ex(String[] attributes);

    /**
     * Submits a form of the last page, with the fields given as items.
     *
     * <p>Calls the engine's {@code web_submit_form}, which receives
     * {@code web_submit_form(name, attributes..., ITEMDATA, items..., LAST)}; {@code ITEMDATA} and
     * {@code LAST} are marker strings the library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @param items one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_submit_form}, or when the call failed (then {@link tsapi.exceptions.Abort}
     * is thrown); -55556 when memory for the call could not be had (when the JVM could not hand out
     * a string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_submit_form(String name, String[] attributes, String[] items);

    /**
     * Sends form data to an action URL, without a form on the last page.
     *
     * <p>Calls the engine's {@code web_submit_data}, which receives
     * {@code web_submit_data(name, action, attributes..., ITEMDATA, items..., LAST)};
     * {@code ITEMDATA} and {@code LAST} are marker strings the library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param action passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @param items one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_submit_data}, or when the call failed (then {@link tsapi.exceptions.Abort}
     * is thrown); -55556 when memory for the call could not be had (when the JVM could not hand out
     * a string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_submit_data(String name, String action, String[] attributes, String[] items);

    /**
     * Searches the last page for text, in the older form of the check.
     *
     * <p>Calls the engine's {@code web_find}, which receives
     * {@code web_find(name, attributes..., search..., LAST)}; {@code LAST} is a marker string the
     * library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @param search one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_find}, or when the call failed (then {@link tsapi.exceptions.Abort} is
     * thrown); -55556 when memory for the call could not be had (when the JVM could not hand out a
     * string's bytes, its {@link OutOfMemoryError} is then pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_web_find(String name, String[] attributes, String[] search);

    /**
     * Sends a request built from its attributes: any method, any body given as an attribute.
     *
     * <p>Calls the engine's {@code web_custom_request}, which receives
     * {@code web_custom_request(name, method, attributes..., LAST)}; {@code LAST} is a marker
     * string the library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param method passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_custom_request}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_custom_request(String name, String method, String[] attributes);

    /**
     * Sends a request built from its attributes, with its body given as bytes.
     *
     * <p>Calls the engine's {@code web_custom_request}, which receives
     * {@code web_custom_request(name, method, attributes..., [body], LAST)}; {@code LAST} is a
     * marker string the library adds.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param method passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; none when empty or null
     * @param body the body: one engine argument, its bytes with a zero byte added; left out when
     * null
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_custom_request}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_custom_request2(String name, String method, String[] attributes, byte[] body);

    /**
     * Starts a group of steps that the engine runs at once, up to the group's end.
     *
     * <p>Calls the engine's {@code web_concurrent_start}, which receives
     * {@code web_concurrent_start(name, attributes... or NULL, last)}.
     *
     * @param name passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @param attributes one engine argument per element, in order; one {@code NULL} when empty or
     * null
     * @param last passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_concurrent_start}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_concurrent_start(String name, String[] attributes, String last);

    /**
     * Ends the group of steps started by {@link #jweb_concurrent_start} and runs them.
     *
     * <p>Calls the engine's {@code web_concurrent_end}, which receives
     * {@code web_concurrent_end(attributes... or NULL, last)}.
     *
     * @param attributes one engine argument per element, in order; one {@code NULL} when empty or
     * null
     * @param last passed as a C string of its modified UTF-8; null passes {@code NULL}
     * @return the engine's own result; -55555 when the engine was not loaded before this library or
     * lacks {@code web_concurrent_end}, or when the call failed (then
     * {@link tsapi.exceptions.Abort} is thrown); -55556 when memory for the call could not be had
     * (when the JVM could not hand out a string's bytes, its {@link OutOfMemoryError} is then
     * pending)
     * @throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an
     * access violation) or threw a C++ exception inside the call; end the virtual user then, as the
     * engine's state is suspect
     */
    public static native int jweb_concurrent_end(String[] attributes, String last);

    /**
     * Encodes text for a URL's query or a form: ASCII letters, digits and {@code _} stay, a space
     * becomes {@code +}, every other byte of its modified UTF-8 {@code %XX}.
     *
     * <p>Computed by the library, without the engine: it works whether or not one is loaded.
     *
     * @param text the text; null gives an empty string
     * @return the encoded text; an empty string when {@code text} is null, when memory for the
     * result could not be had, or with {@link tsapi.exceptions.Abort}
     * @throws tsapi.exceptions.Abort when the computation faulted inside the library; the result is
     * then empty
     * @throws OutOfMemoryError when the text's modified UTF-8, or the result, is longer than a Java
     * string can hold (2147483647 bytes)
     */
    public static native String jweb_util_url_encode(String text);

    /**
     * Decodes text that {@link #jweb_util_url_encode} encoded: {@code +} and {@code %XX}.
     *
     * <p>Computed by the library, without the engine: it works whether or not one is loaded.
     *
     * @param text the text; null gives an empty string
     * @return the decoded text; an empty string when {@code text} is null, when memory for the
     * result could not be had, or with {@link tsapi.exceptions.Abort}
     * @throws tsapi.exceptions.Abort when the computation faulted inside the library; the result is
     * then empty
     * @throws OutOfMemoryError when the text's modified UTF-8, or the result, is longer than a Java
     * string can hold (2147483647 bytes)
     */
    public static native String jweb_util_url_decode(String text);

    /**
     * Encodes text in Base64: the standard alphabet, {@code =} padding, no line breaks.
     *
     * <p>Computed by the library, without the engine: it works whether or not one is loaded.
     *
     * @param text the text; null gives an empty string
     * @return the encoded text; an empty string when {@code text} is null, when memory for the
     * result could not be had, or with {@link tsapi.exceptions.Abort}
     * @throws tsapi.exceptions.Abort when the computation faulted inside the library; the result is
     * then empty
     * @throws OutOfMemoryError when the text's modified UTF-8, or the result, is longer than a Java
     * string can hold (2147483647 bytes)
     */
    public static native String jweb_util_base64encode(String text);

    /**
     * Decodes Base64 text.
     *
     * <p>Computed by the library, without the engine: it works whether or not one is loaded.
     *
     * @param text the text; null gives an empty string
     * @return the decoded text; an empty string when {@code text} is null, when memory for the
     * result could not be had, or with {@link tsapi.exceptions.Abort}
     * @throws tsapi.exceptions.Abort when the computation faulted inside the library; the result is
     * then empty
     * @throws OutOfMemoryError when the text's modified UTF-8, or the result, is longer than a Java
     * string can hold (2147483647 bytes)
     */
    public static native String jweb_util_base64decode(String text);
    // ---- end of methods ----
}
