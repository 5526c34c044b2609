// url_decode of any text matches the reference, never grows the text, and the
// decoded C string survives an encode/decode round trip.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/codec_reference.h"
#include "textutil/url_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = codec_reference::as_text(data, size);
    const std::string expected = codec_reference::url_decode(text);
    if (expected.size() > text.size()) std::abort();
    char* decoded = jweb::url_decode(text.c_str());
    codec_reference::check_bytes("url_decode", decoded, expected);
    codec_reference::check_allocation("url_decode", decoded, text.size() + 1);

    const std::string prefix(decoded);
    char* encoded = jweb::url_encode(decoded);
    char* again = jweb::url_decode(encoded);
    codec_reference::check_bytes("url_decode(url_encode)", again, prefix);
    std::free(again);
    std::free(encoded);
    std::free(decoded);
    return 0;
}
