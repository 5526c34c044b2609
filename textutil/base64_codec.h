// Base64 (standard alphabet, "=" padding, no line breaks) of byte strings, and
// a decoder that accepts any input by fixed rules.
#pragma once

namespace jweb {

// Each returns a new NUL-terminated buffer from malloc, which the caller frees,
// or null when `text` is null or the buffer cannot be allocated.
char* base64_encode(const char* text);
char* base64_decode(const char* text);

}  // namespace jweb
