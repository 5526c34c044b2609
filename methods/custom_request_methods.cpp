// Custom requests, with a body passed as one NUL-terminated list argument.
#include "frame/call_frame.h"
#include "frame/export.h"

using namespace jweb;

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1custom_1request2(JNIEnv* env, jclass, jstring name, jstring method,
                                                               jobjectArray attributes, jbyteArray body) {
    return call_list<"web_custom_request">(env, Str{name}, Str{method}, Elements{attributes}, Body{body}, LAST);
}

// The same request without a body.
JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1custom_1request(JNIEnv* env, jclass receiver, jstring name,
                                                              jstring method, jobjectArray attributes) {
    return Java_tsapi_web_jweb_1custom_1request2(env, receiver, name, method, attributes, nullptr);
}
