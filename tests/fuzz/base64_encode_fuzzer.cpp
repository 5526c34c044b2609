// base64_encode matches the reference, has length 4*ceil(n/3), and
// base64_decode gives the input back.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/codec_reference.h"
#include "textutil/base64_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = codec_reference::as_text(data, size);
    const std::string expected = codec_reference::base64_encode(text);
    if (expected.size() != (text.size() + 2) / 3 * 4) std::abort();
    char* encoded = jweb::base64_encode(text.c_str());
    codec_reference::check_bytes("base64_encode", encoded, expected);
    codec_reference::check_allocation("base64_encode", encoded, expected.size() + 1);
    char* decoded = jweb::base64_decode(encoded);
    codec_reference::check_bytes("base64_decode(base64_encode)", decoded, text);
    std::free(decoded);
    std::free(encoded);
    return 0;
}
