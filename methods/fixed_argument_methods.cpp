// Methods whose engine entry takes a fixed list: nothing, one int, or one to
// four strings, passed in the Java order (a null string as a null pointer).
#include "frame/call_frame.h"
#include "frame/export.h"

using namespace jweb;

// ---- no argument ----

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1cleanup_1cookies(JNIEnv* env, jclass) {
    return call_fixed<"web_cleanup_cookies">(env);
}

// The engine has no entry of its own for this; it shares the cookie cleanup.
JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1cleanup_1auto_1headers(JNIEnv* env, jclass) {
    return call_fixed<"web_cleanup_cookies">(env);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1disable_1keep_1alive(JNIEnv* env, jclass) {
    return call_fixed<"web_disable_keep_alive">(env);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1enable_1keep_1alive(JNIEnv* env, jclass) {
    return call_fixed<"web_enable_keep_alive">(env);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1cache_1cleanup(JNIEnv* env, jclass) {
    return call_fixed<"web_cache_cleanup">(env);
}

// ---- one int ----

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1get_1int_1property(JNIEnv* env, jclass, jint property) {
    return call_fixed<"web_get_int_property">(env, property);
}

// ---- one string ----

// The older URL step refuses a null URL, and (unlike every other method)
// borrows its string before it looks at its entry.
JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1old_1url(JNIEnv* env, jclass, jstring url) {
    return call_fixed<"URL", EntryCheck::after_borrowing>(env, Required{url});
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1max_1html_1param_1len(JNIEnv* env, jclass, jstring length) {
    return call_fixed<"web_set_max_html_param_len">(env, length);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1proxy(JNIEnv* env, jclass, jstring proxy) {
    return call_fixed<"web_set_proxy">(env, proxy);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1secure_1proxy(JNIEnv* env, jclass, jstring proxy) {
    return call_fixed<"web_set_secure_proxy">(env, proxy);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1proxy_1bypass(JNIEnv* env, jclass, jstring hosts) {
    return call_fixed<"web_set_proxy_bypass">(env, hosts);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1connections_1limit(JNIEnv* env, jclass, jstring limit) {
    return call_fixed<"web_set_connections_limit">(env, limit);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1add_1cookie(JNIEnv* env, jclass, jstring cookie) {
    return call_fixed<"web_add_cookie">(env, cookie);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1remove_1cookie(JNIEnv* env, jclass, jstring cookie) {
    return call_fixed<"web_remove_cookie">(env, cookie);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1certificate(JNIEnv* env, jclass, jstring index) {
    return call_fixed<"web_set_certificate">(env, index);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1revert_1auto_1header(JNIEnv* env, jclass, jstring header) {
    return call_fixed<"web_revert_auto_header">(env, header);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1max_1retries(JNIEnv* env, jclass, jstring retries) {
    return call_fixed<"web_set_max_retries">(env, retries);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1proxy_1bypass_1local(JNIEnv* env, jclass, jstring bypass) {
    return call_fixed<"web_set_proxy_bypass_local">(env, bypass);
}

// ---- two strings ----

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1timeout(JNIEnv* env, jclass, jstring category, jstring value) {
    return call_fixed<"web_set_timeout">(env, category, value);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1add_1header(JNIEnv* env, jclass, jstring header, jstring content) {
    return call_fixed<"web_add_header">(env, header, content);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1add_1auto_1header(JNIEnv* env, jclass, jstring header, jstring content) {
    return call_fixed<"web_add_auto_header">(env, header, content);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1save_1header(JNIEnv* env, jclass, jstring type, jstring param) {
    return call_fixed<"web_save_header">(env, type, param);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1sockets_1option(JNIEnv* env, jclass, jstring option, jstring value) {
    return call_fixed<"web_set_sockets_option">(env, option, value);
}

// ---- three strings ----

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1setUser(JNIEnv* env, jclass, jstring user, jstring password,
                                                      jstring host) {
    return call_fixed<"SetUser">(env, user, password, host);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1create_1html_1param(JNIEnv* env, jclass, jstring param, jstring left,
                                                                  jstring right) {
    return call_fixed<"web_create_html_param">(env, param, left, right);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1user(JNIEnv* env, jclass, jstring user, jstring password,
                                                        jstring host) {
    return call_fixed<"web_set_user">(env, user, password, host);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1create_1radio_1button_1param(JNIEnv* env, jclass, jstring param,
                                                                           jstring group, jstring value) {
    return call_fixed<"web_create_radio_button_param">(env, param, group, value);
}

// ---- four strings ----

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1create_1html_1param_1ex(JNIEnv* env, jclass, jstring param, jstring left,
                                                                      jstring right, jstring instance) {
    return call_fixed<"web_create_html_param_ex">(env, param, left, right, instance);
}
