// The library's own result codes. They share the int result with the engine's
// codes and cannot be told apart from an engine result of the same value.
#pragma once

#include <jni.h>

namespace jweb {

// The entry is not bound, or the guarded call failed (Abort is then pending).
inline constexpr jint JWEB_ERR_CALL = -55555;
// The argument vector (or a body, or a borrowed string) could not be had.
inline constexpr jint JWEB_ERR_NOMEM = -55556;

}  // namespace jweb
