#include "frame/raise_abort.h"

namespace jweb {

void raise_abort(JNIEnv* env) {
    // Java code that the engine called back may have thrown before the engine
    // failed: JNI forbids FindClass and ThrowNew while that exception is
    // pending, and it says more about the failure than an Abort would.
    if (env->ExceptionCheck()) return;
    jclass abort_class = env->FindClass("tsapi/exceptions/Abort");
    if (abort_class != nullptr) env->ThrowNew(abort_class, nullptr);
}

}  // namespace jweb
