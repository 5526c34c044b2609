// Starting and ending the engine's virtual user.
#include "frame/call_frame.h"
#include "frame/export.h"

using namespace jweb;

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1initialize(JNIEnv* env, jclass) {
    return call_fixed<"InitWebVuser">(env);
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1terminate(JNIEnv* env, jclass) {
    return call_fixed<"TerminateWebVuser">(env);
}
