// The URL and Base64 methods: computed here, so they work with no engine.
#include <cstdint>
#include <cstdlib>

#include "frame/borrowed_string.h"
#include "frame/export.h"
#include "frame/raise_abort.h"
#include "guard/guard.h"
#include "textutil/base64_codec.h"
#include "textutil/url_codec.h"

namespace jweb {
namespace {

// A Java string's modified UTF-8 is handed out, and taken, in at most this
// many bytes: the runtime's lengths are 32-bit. Longer text is handed out
// cut short, possibly at the last whole character below the limit (a
// character is at most 3 bytes), and a longer result cannot become a string.
constexpr std::size_t java_text_limit = INT32_MAX;
constexpr std::size_t maybe_cut_short = java_text_limit - 2;

using Codec = char* (*)(const char*, TextLengths*);

// The guarded call, out of convert's template: a frame named by its types
// alone, which profilers' demanglers read.
bool run_codec(JNIEnv* env, Codec codec, const char* chars, TextLengths& lengths, char*& converted) {
    return call_guarded(
        env, [codec, chars, &lengths] { return codec(chars, &lengths); }, converted);
}

template <Codec codec>
jstring convert(JNIEnv* env, jstring text) {
    if (text == nullptr) return env->NewStringUTF("");
    bool failed = false;
    const char* chars = borrow_string(env, text, failed);
    // No bytes: the runtime's OutOfMemoryError is pending, and no JNI call may
    // follow; the caller sees that error.
    if (failed) return nullptr;

    char* converted = nullptr;
    TextLengths lengths;
    const bool ok = run_codec(env, codec, chars, lengths, converted);
    release_string(env, text, chars);

    if (!ok) {
        jstring empty = env->NewStringUTF("");
        if (empty != nullptr) raise_abort(env);
        return empty;
    }
    if (converted == nullptr) return env->NewStringUTF("");  // out of memory
    if (lengths.input >= maybe_cut_short || lengths.result > java_text_limit) {
        std::free(converted);
        // Instead of a result computed from part of the text, or a string the
        // runtime cannot make (it would wrap the length, or throw
        // NegativeArraySizeException).
        raise_exception(env, "java/lang/OutOfMemoryError",
                        lengths.input >= maybe_cut_short
                            ? "text too long: its modified UTF-8 reaches 2147483645 bytes, "
                              "and the Java runtime hands out no more than 2147483647"
                            : "text too long: the result exceeds 2147483647 bytes, "
                              "more than a Java string can hold");
        return nullptr;
    }
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
