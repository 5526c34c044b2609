// Base64 (standard alphabet, "=" padding, no line breaks) of byte strings, and
// a decoder that accepts any input by fixed rules.
#pragma once

#include "textutil/text_lengths.h"

namespace jweb {

// Each returns a new NUL-terminated buffer from malloc, which the caller frees,
// or null when `text` is null or the buffer cannot be allocated. `lengths`,
// when given, receives the lengths of the text and of the result.
char* base64_encode(const char* text, TextLengths* lengths = nullptr);
char* base64_decode(const char* text, TextLengths* lengths = nullptr);

}  // namespace jweb
