// Borrowing the modified UTF-8 bytes of Java strings for one native call.
#pragma once

#include <jni.h>

namespace jweb {

// A null reference gives null without asking the runtime. The runtime hands
// out at most 2^31 - 1 bytes: a string whose modified UTF-8 is longer (over
// 2 GB) reaches the engine cut short. Measuring every string to refuse those
// would cost every call a pass over its bytes, so engine methods do not. A non-null one that
// the runtime hands out no bytes for also gives null, with the runtime's
// exception pending: `failed` tells the two apart.
inline const char* borrow_string(JNIEnv* env, jstring string, bool& failed) {
    if (string == nullptr) return nullptr;
    const char* chars = env->GetStringUTFChars(string, nullptr);
    failed = chars == nullptr;
    return chars;
}

// Allowed while an exception is pending, so it serves the failure paths too.
inline void release_string(JNIEnv* env, jstring string, const char* chars) {
    if (chars != nullptr) env->ReleaseStringUTFChars(string, chars);
}

}  // namespace jweb
