// Concurrent groups: lists that carry no marker (the caller's last string ends
// them), pass a single null for an empty array, and give their strings back
// last first.
#include "frame/call_frame.h"
#include "frame/export.h"

using namespace jweb;

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1concurrent_1start(JNIEnv* env, jclass, jstring name,
                                                                jobjectArray attributes, jstring last) {
    return call_list<"web_concurrent_start", ReleaseOrder::strings_last_first>(env, Str{name},
                                                                               ElementsOrNull{attributes}, Str{last});
}

JWEB_NATIVE jint JNICALL Java_tsapi_web_jweb_1concurrent_1end(JNIEnv* env, jclass, jobjectArray attributes,
                                                              jstring last) {
    return call_list<"web_concurrent_end", ReleaseOrder::strings_last_first>(env, ElementsOrNull{attributes},
                                                                             Str{last});
}
