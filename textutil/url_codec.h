// Form-style URL encoding of byte strings, and its decoding.
#pragma once

#include "textutil/text_lengths.h"

namespace jweb {

// Each returns a new NUL-terminated buffer from malloc, which the caller frees,
// or null when `text` is null or the buffer cannot be allocated. `lengths`,
// when given, receives the lengths of the text and of the result.
char* url_encode(const char* text, TextLengths* lengths = nullptr);
char* url_decode(const char* text, TextLengths* lengths = nullptr);

}  // namespace jweb
