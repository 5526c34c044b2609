#include "frame/arg_vector.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "frame/borrowed_string.h"
#include "frame/variadic_call.h"

namespace jweb {

namespace {
// The most one reservation may ask for: HotSpot's default MaxJNILocalCapacity.
constexpr std::size_t max_reservation = 65536;
}  // namespace

std::size_t borrow_array_elements(JNIEnv* env, jobjectArray array, const char** slots, std::size_t first, std::size_t n,
                                  jstring* refs, LocalRefRoom& room) {
    for (std::size_t i = 0; i < n; ++i) {
        if (!take_local_ref(env, room)) {
            slots[first + i] = nullptr;
            return i;
        }
        auto element = static_cast<jstring>(env->GetObjectArrayElement(array, static_cast<jsize>(i)));
        bool failed = false;
        refs[i] = element;
        slots[first + i] = borrow_string(env, element, failed);
        if (failed) return i;
    }
    return n;
}

void release_array_elements(JNIEnv* env, const char* const* slots, std::size_t first, std::size_t n,
                            const jstring* refs) {
    for (std::size_t i = 0; i < n; ++i) release_string(env, refs[i], slots[first + i]);
}

bool reserve_first_local_refs(JNIEnv* env, LocalRefRoom& refs) {
    const std::size_t first_step = std::min(refs.still_needed + frame_local_refs, max_reservation);
    if (env->EnsureLocalCapacity(static_cast<jint>(first_step)) != JNI_OK) return false;
    refs.room = first_step - frame_local_refs;
    return true;
}

bool reserve_more_local_refs(JNIEnv* env, LocalRefRoom& refs) {
    const std::size_t step = std::min(refs.still_needed, max_reservation);
    if (env->PushLocalFrame(static_cast<jint>(step)) != JNI_OK) return false;
    ++refs.frames_opened;
    refs.room = step;
    return true;
}

void pop_local_frames(JNIEnv* env, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) env->PopLocalFrame(nullptr);
}

}  // namespace jweb
