// The argument vector of an open-list engine call and the borrowing of Java
// string arrays into it.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "frame/variadic_call.h"

namespace jweb {

// The list markers; every list that uses one passes these very addresses.
inline constexpr char marker_last[] = "LAST";
inline constexpr char marker_endform[] = "ENDFORM";
inline constexpr char marker_itemdata[] = "ITEMDATA";

// The slots (slot k is argument k of the engine call), the scratch the
// variadic call needs, and the element references kept from borrowing to
// release: one malloc block for a list too long for the stack (see
// slots_on_stack in call_frame.h).
struct ArgVector {
    const char** slots;
    jstring* element_refs;
};

// Null when the block cannot be allocated. Inline, as is the rest of the
// fixed part of a list call: it is paid on every call, however short the list.
inline ArgVector allocate_arg_vector(std::size_t slot_count, std::size_t element_count, ListEnd end = ListEnd::exact) {
    static_assert(sizeof(jstring) == sizeof(const char*));
    const std::size_t words = slot_count + variadic_scratch_words(slot_count, end);
    std::size_t bytes = 0;
    if (__builtin_add_overflow(words, element_count, &bytes) || __builtin_mul_overflow(bytes, sizeof(void*), &bytes) ||
        bytes > PTRDIFF_MAX)
        return {nullptr, nullptr};
    void* block = std::malloc(bytes);
    if (block == nullptr) return {nullptr, nullptr};
    void* refs = static_cast<void**>(block) + words;
    return {static_cast<const char**>(block), static_cast<jstring*>(refs)};
}
inline void free_arg_vector(ArgVector vector) { std::free(vector.slots); }

// The local references a call creates for array elements. The runtime
// guarantees 16 per native method; beyond that the call reserves room. One
// reservation may not exceed the runtime's cap (65,536 in HotSpot), and a
// checked runtime counts every reference of a frame against its first
// reservation, so a longer list opens a further local frame for each further
// step, and closes them all once its strings are released.
struct LocalRefRoom {
    std::size_t still_needed;   // references the call will still create
    std::size_t room;           // references it may create before reserving again
    std::size_t frames_opened;  // local frames to close after the release
};

// Every native method may create this many local references without asking;
// one of them is kept for what the frame creates besides the elements (the
// Abort class).
inline constexpr std::size_t guaranteed_local_refs = 16;
inline constexpr std::size_t frame_local_refs = 1;

bool reserve_first_local_refs(JNIEnv* env, LocalRefRoom& refs);
bool reserve_more_local_refs(JNIEnv* env, LocalRefRoom& refs);
void pop_local_frames(JNIEnv* env, std::size_t count);

// Starts the account of a call that will create `count` element references;
// false when the runtime refuses the room (an error may then be pending).
inline bool open_local_refs(JNIEnv* env, LocalRefRoom& refs, std::size_t count) {
    refs = {count, guaranteed_local_refs - frame_local_refs, 0};
    return count <= refs.room || reserve_first_local_refs(env, refs);
}
// Closes the frames opened on the way; allowed while an exception is pending.
inline void close_local_refs(JNIEnv* env, const LocalRefRoom& refs) {
    if (refs.frames_opened != 0) pop_local_frames(env, refs.frames_opened);
}

inline bool take_local_ref(JNIEnv* env, LocalRefRoom& refs) {
    if (refs.room == 0 && !reserve_more_local_refs(env, refs)) return false;
    --refs.room;
    --refs.still_needed;
    return true;
}

// Fills slots[first .. first + n - 1] with the bytes of the array's elements in
// index order (null for a null element) and keeps each element's reference in
// refs[0 .. n - 1]. Returns how many elements it got through: n, or fewer when
// the runtime handed out no bytes for one (an exception is then pending, and
// that element's slot is null) or refused room for its reference.
std::size_t borrow_array_elements(JNIEnv* env, jobjectArray array, const char** slots, std::size_t first, std::size_t n,
                                  jstring* refs, LocalRefRoom& room);

// Releases the non-null slots among slots[first .. first + n - 1] against the
// references kept when they were borrowed. Makes no call but releases, so it
// also serves while an exception is pending.
void release_array_elements(JNIEnv* env, const char* const* slots, std::size_t first, std::size_t n,
                            const jstring* refs);

}  // namespace jweb
