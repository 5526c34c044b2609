#include "frame/raise_abort.h"

namespace jweb {

void raise_exception(JNIEnv* env, const char* class_name, const char* message) {
    // Java code that the engine called back may have thrown before the engine
    // failed: JNI forbids FindClass and ThrowNew while that exception is
    // pending, and it says more about the failure than ours would.
    if (env->ExceptionCheck()) return;
    jclass exception_class = env->FindClass(class_name);
    if (exception_class != nullptr) env->ThrowNew(exception_class, message);
}

void raise_abort(JNIEnv* env) { raise_exception(env, "tsapi/exceptions/Abort", nullptr); }

}  // namespace jweb
