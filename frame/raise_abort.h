#pragma once

#include <jni.h>

namespace jweb {

// Throws tsapi.exceptions.Abort, with no message, into the Java caller. The
// class is looked up now, never cached; when it cannot be found, whatever the
// failed lookup left pending is what the caller sees. Must be the last JNI
// call a method makes.
void raise_abort(JNIEnv* env);

}  // namespace jweb
