// What a codec measured on its way: the length of its input and of its
// result, in bytes, terminators not counted.
#pragma once

#include <cstddef>

namespace jweb {

struct TextLengths {
    std::size_t input = 0;
    std::size_t result = 0;
};

}  // namespace jweb
