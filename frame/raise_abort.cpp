#include "frame/raise_abort.h"

namespace jweb {

void raise_abort(JNIEnv* env) {
    jclass abort_class = env->FindClass("tsapi/exceptions/Abort");
    if (abort_class != nullptr) env->ThrowNew(abort_class, nullptr);
}

}  // namespace jweb
