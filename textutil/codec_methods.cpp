// The URL and Base64 methods: computed here, so they work with no engine.
#include <cstdlib>

#include "frame/export.h"
#include "frame/guard.h"
#include "frame/raise_abort.h"
#include "textutil/base64_codec.h"
#include "textutil/url_codec.h"

namespace jweb {
namespace {

template <char* (*Codec)(const char*)>
jstring convert(JNIEnv* env, jstring text) {
    if (text == nullptr) return env->NewStringUTF("");
    const char* chars = env->GetStringUTFChars(text, nullptr);
    // No bytes: the runtime's OutOfMemoryError is pending, and no JNI call may
    // follow; the caller sees that error.
    if (chars == nullptr) return nullptr;

    char* converted = nullptr;
    const bool ok = call_guarded([chars] { return Codec(chars); }, converted);
    env->ReleaseStringUTFChars(text, chars);

    if (!ok) {
        jstring empty = env->NewStringUTF("");
        if (empty != nullptr) raise_abort(env);
        return empty;
    }
    if (converted == nullptr) return env->NewStringUTF("");  // out of memory
    jstring result = env->NewStringUTF(converted);
    std::free(converted);
    return result;
}

}  // namespace
}  // namespace jweb

JWEB_NATIVE jstring JNICALL Java_tsapi_web_jweb_1util_1url_1encode(JNIEnv* env, jclass, jstring text) {
    return jweb::convert<jweb::url_encode>(env, text);
}

JWEB_NATIVE jstring JNICALL Java_tsapi_web_jweb_1util_1url_1decode(JNIEnv* env, jclass, jstring text) {
    return jweb::convert<jweb::url_decode>(env, text);
}

JWEB_NATIVE jstring JNICALL Java_tsapi_web_jweb_1util_1base64encode(JNIEnv* env, jclass, jstring text) {
    return jweb::convert<jweb::base64_encode>(env, text);
}

JWEB_NATIVE jstring JNICALL Java_tsapi_web_jweb_1util_1base64decode(JNIEnv* env, jclass, jstring text) {
    return jweb::convert<jweb::base64_decode>(env, text);
}
