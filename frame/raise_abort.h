#pragma once

#include <jni.h>

namespace jweb {

// Throws a new exception of the class `class_name` (JNI's form, with
// slashes), with `message` (none when null), into the Java caller. The class
// is looked up now, never cached; when it cannot be found, whatever the
// failed lookup left pending is what the caller sees. When an exception is
// already pending (thrown by Java code the engine called back), that one is
// left to the caller instead, and no other JNI call is made. Must be the last
// JNI call a method makes.
void raise_exception(JNIEnv* env, const char* class_name, const char* message);

// tsapi.exceptions.Abort, with no message: the engine call failed.
void raise_abort(JNIEnv* env);

}  // namespace jweb
