#include "frame/arg_vector.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "frame/borrowed_string.h"
#include "frame/variadic_call.h"

namespace jweb {

namespace {
// Every native method may create this many local references without asking.
constexpr std::size_t guaranteed_local_refs = 16;
// Kept free for what the frame creates besides the elements (the Abort class).
constexpr std::size_t frame_local_refs = 1;
// The most one reservation may ask for: HotSpot's default MaxJNILocalCapacity.
constexpr std::size_t max_reservation = 65536;
}  // namespace

ArgVector allocate_arg_vector(std::size_t slot_count, std::size_t element_count) {
    const std::size_t words = slot_count + variadic_scratch_words(slot_count);
    static_assert(sizeof(jstring) == sizeof(const char*));
    if (words > SIZE_MAX / sizeof(void*) - element_count) return {nullptr, nullptr};
    void* block = std::malloc((words + element_count) * sizeof(void*));
    if (block == nullptr) return {nullptr, nullptr};
    void* refs = static_cast<void**>(block) + words;
    return {static_cast<const char**>(block), static_cast<jstring*>(refs)};
}

void free_arg_vector(ArgVector vector) { std::free(vector.slots); }

std::size_t borrow_array_elements(JNIEnv* env, jobjectArray array, const char** slots, std::size_t first,
                                  std::size_t n, jstring* refs, LocalRefRoom& room) {
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

bool open_local_refs(JNIEnv* env, LocalRefRoom& refs, std::size_t count) {
    refs = {count, guaranteed_local_refs - frame_local_refs, 0};
    if (count <= refs.room) return true;
    const std::size_t first_step = std::min(count + frame_local_refs, max_reservation);
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

void close_local_refs(JNIEnv* env, const LocalRefRoom& refs) {
    for (std::size_t i = 0; i < refs.frames_opened; ++i) env->PopLocalFrame(nullptr);
}

}  // namespace jweb
