// base64_decode of any text matches the reference (length D and every byte),
// and the decoded C string survives an encode/decode round trip.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/codec_reference.h"
#include "textutil/base64_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = codec_reference::as_text(data, size);
    const std::string expected = codec_reference::base64_decode(text);
    if (expected.size() > text.size() - text.size() / 4) std::abort();
    char* decoded = jweb::base64_decode(text.c_str());
    codec_reference::check_bytes("base64_decode", decoded, expected);
    codec_reference::check_allocation("base64_decode", decoded, expected.size() + 1);

    const std::string prefix(decoded);
    char* encoded = jweb::base64_encode(decoded);
    char* again = jweb::base64_decode(encoded);
    codec_reference::check_bytes("base64_decode(base64_encode)", again, prefix);
    std::free(again);
    std::free(encoded);
    std::free(decoded);
    return 0;
}
