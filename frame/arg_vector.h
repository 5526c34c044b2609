// The argument vector of an open-list engine call and the borrowing of Java
// string arrays into it.
#pragma once

#include <jni.h>

#include <cstddef>

namespace jweb {

// The list markers; every list that uses one passes these very addresses.
inline constexpr char marker_last[] = "LAST";
inline constexpr char marker_endform[] = "ENDFORM";
inline constexpr char marker_itemdata[] = "ITEMDATA";

// One malloc block per call: the slots (slot k is argument k of the engine
// call), the scratch the variadic call needs, and the element references kept
// from borrowing to release.
struct ArgVector {
    const char** slots;
    jstring* element_refs;
};

// Null when the block cannot be allocated.
ArgVector allocate_arg_vector(std::size_t slot_count, std::size_t element_count);
void free_arg_vector(ArgVector vector);

// Fills slots[first .. first + n - 1] with the bytes of the array's elements in
// index order (null for a null element) and keeps each element's reference in
// refs[0 .. n - 1]. Returns how many elements it got through: n, or fewer when
// the runtime handed out no bytes for one (an exception is then pending, and
// that element's slot is null).
std::size_t borrow_array_elements(JNIEnv* env, jobjectArray array, const char** slots,
                                  std::size_t first, std::size_t n, jstring* refs);

// Releases the non-null slots among slots[first .. first + n - 1] against the
// references kept when they were borrowed. Makes no call but releases, so it
// also serves while an exception is pending.
void release_array_elements(JNIEnv* env, const char* const* slots, std::size_t first,
                            std::size_t n, const jstring* refs);

// Reserves room for `count` local references when the runtime's guaranteed
// minimum would not cover them; false (exception pending) when it cannot.
bool reserve_local_refs(JNIEnv* env, std::size_t count);

}  // namespace jweb
