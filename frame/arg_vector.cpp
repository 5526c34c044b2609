#include "frame/arg_vector.h"

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

std::size_t borrow_array_elements(JNIEnv* env, jobjectArray array, const char** slots,
                                  std::size_t first, std::size_t n, jstring* refs) {
    for (std::size_t i = 0; i < n; ++i) {
        auto element = static_cast<jstring>(env->GetObjectArrayElement(array, static_cast<jsize>(i)));
        bool failed = false;
        refs[i] = element;
        slots[first + i] = borrow_string(env, element, failed);
        if (failed) return i;
    }
    return n;
}

void release_array_elements(JNIEnv* env, const char* const* slots, std::size_t first,
                            std::size_t n, const jstring* refs) {
    for (std::size_t i = 0; i < n; ++i) release_string(env, refs[i], slots[first + i]);
}

bool reserve_local_refs(JNIEnv* env, std::size_t count) {
    if (count + frame_local_refs <= guaranteed_local_refs) return true;
    if (count > INT32_MAX - frame_local_refs) return false;  // more than any runtime can hold
    return env->EnsureLocalCapacity(static_cast<jint>(count + frame_local_refs)) == JNI_OK;
}

}  // namespace jweb
