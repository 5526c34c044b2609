// url_encode matches the reference and allocates the counted size, and
// url_decode gives the input back.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/codec_reference.h"
#include "textutil/url_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = codec_reference::as_text(data, size);
    char* encoded = jweb::url_encode(text.c_str());
    codec_reference::check_bytes("url_encode", encoded, codec_reference::url_encode(text));
    std::size_t size_rule = 1;  // a space counts 3 although "+" is 1
    for (char c : text) size_rule += codec_reference::url_kept(static_cast<unsigned char>(c)) ? 1 : 3;
    codec_reference::check_allocation("url_encode", encoded, size_rule);
    char* decoded = jweb::url_decode(encoded);
    codec_reference::check_bytes("url_decode(url_encode)", decoded, text);
    std::free(decoded);
    std::free(encoded);
    return 0;
}
