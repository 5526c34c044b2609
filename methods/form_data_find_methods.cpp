// Steps with two attribute lists: form and data submissions put ITEMDATA
// between them, the find step puts nothing.
#include "frame/call_frame.h"
#include "frame/export.h"

using namespace jweb;

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1submit_1form(JNIEnv* env, jclass, jstring name, jobjectArray attributes,
                                                           jobjectArray items) {
    return call_list<"web_submit_form">(env, Str{name}, Elements{attributes}, ITEMDATA, Elements{items}, LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1submit_1data(JNIEnv* env, jclass, jstring name, jstring action,
                                                           jobjectArray attributes, jobjectArray items) {
    return call_list<"web_submit_data">(env, Str{name}, Str{action}, Elements{attributes}, ITEMDATA, Elements{items},
                                        LAST);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1web_1find(JNIEnv* env, jclass, jstring name, jobjectArray attributes,
                                                        jobjectArray search) {
    return call_list<"web_find">(env, Str{name}, Elements{attributes}, Elements{search}, LAST);
}
