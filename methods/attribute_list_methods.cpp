// Steps with leading strings and an attribute list, closed by a marker.
#include "frame/call_frame.h"
#include "frame/export.h"

using namespace jweb;

// ---- two leading strings ----

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1url(JNIEnv* env, jclass, jstring name, jstring url,
                                                  jobjectArray attributes) {
    return call_list<"web_url">(env, Str{name}, Str{url}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1link(JNIEnv* env, jclass, jstring name, jstring text,
                                                   jobjectArray attributes) {
    return call_list<"web_link">(env, Str{name}, Str{text}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1option(JNIEnv* env, jclass, jstring option, jstring value,
                                                          jobjectArray attributes) {
    return call_list<"web_set_option">(env, Str{option}, Str{value}, Elements{attributes}, LAST);
}

// ---- one leading string ----

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1image(JNIEnv* env, jclass, jstring name, jobjectArray attributes) {
    return call_list<"web_image">(env, Str{name}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1image_1check(JNIEnv* env, jclass, jstring name, jobjectArray attributes) {
    return call_list<"web_image_check">(env, Str{name}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1java_1check(JNIEnv* env, jclass, jstring name, jobjectArray attributes) {
    return call_list<"web_java_check">(env, Str{name}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1global_1verification(JNIEnv* env, jclass, jstring name,
                                                                   jobjectArray attributes) {
    return call_list<"web_global_verification">(env, Str{name}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1reg_1find(JNIEnv* env, jclass, jstring text, jobjectArray attributes) {
    return call_list<"web_reg_find">(env, Str{text}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1reg_1save_1param(JNIEnv* env, jclass, jstring param,
                                                               jobjectArray attributes) {
    return call_list<"web_reg_save_param">(env, Str{param}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1remove_1auto_1header(JNIEnv* env, jclass, jstring header,
                                                                   jobjectArray attributes) {
    return call_list<"web_remove_auto_header">(env, Str{header}, Elements{attributes}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1create_1html_1query(JNIEnv* env, jclass, jstring start_query,
                                                                  jobjectArray attributes) {
    return call_list<"web_create_html_query">(env, Str{start_query}, Elements{attributes}, LAST);
}

// The older form submission closes its list with ENDFORM, not LAST.
JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1old_1formSubmit(JNIEnv* env, jclass, jstring form,
                                                              jobjectArray attributes) {
    return call_list<"FormSubmit">(env, Str{form}, Elements{attributes}, ENDFORM);
}

// ---- no leading string ----

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1set_1certificate_1ex(JNIEnv* env, jclass, jobjectArray attributes) {
    return call_list<"web_set_certificate_ex">(env, Elements{attributes}, LAST);
}
