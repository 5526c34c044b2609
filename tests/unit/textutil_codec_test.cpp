// URL and Base64 codecs: exact byte results, including the malformed inputs
// the decoders accept, and round trips over random byte strings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "textutil/base64_codec.h"
#include "textutil/url_codec.h"

namespace {

using namespace std::string_literals;

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<char, FreeDeleter>;

using Codec = char* (*)(const char*, jweb::TextLengths*);

struct Case {
    std::string input;     // no NUL inside
    std::string expected;  // the full bytes before the terminator; may hold NULs
};

std::string hex(const std::string& s) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Compares the expected bytes and the terminator after them. A result buffer
// shorter than that is an out-of-bounds read the sanitizer reports.
void expect_bytes(Codec codec, const char* codec_name, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        // Long inputs are shown by their first bytes and their length.
        const std::string shown = c.input.substr(0, 64);
        SCOPED_TRACE(testing::Message() << codec_name << "(\"" << shown << "\") [" << hex(shown) << "], "
                                        << c.input.size() << " bytes");
        ASSERT_EQ(c.input.find('\0'), std::string::npos);
        jweb::TextLengths lengths;
        Buffer out(codec(c.input.c_str(), &lengths));
        ASSERT_NE(out, nullptr);
        const std::string got(out.get(), c.expected.size());
        if (got != c.expected) {
            EXPECT_EQ(hex(got), hex(c.expected));
        }
        EXPECT_EQ(out.get()[c.expected.size()], '\0');
        // What the methods check against the Java runtime's limits.
        EXPECT_EQ(lengths.input, c.input.size());
        EXPECT_EQ(lengths.result, c.expected.size());
    }
}

std::string repeated(const std::string& part, std::size_t times) {
    std::string s;
    s.reserve(part.size() * times);
    for (std::size_t i = 0; i < times; ++i) s += part;
    return s;
}

TEST(UrlCodec, EncodeBytes) {
    expect_bytes(jweb::url_encode, "url_encode",
                 {
                     {"", ""},
                     {"abc", "abc"},
                     {"A_z9", "A_z9"},
                     {"AZaz09_", "AZaz09_"},
                     {"a b", "a+b"},
                     {"  ", "++"},
                     {"+", "%2b"},
                     {"~", "%7e"},
                     {"a.b-c", "a%2eb%2dc"},
                     {"100%", "100%25"},
                     {"*", "%2a"},
                     {"\n", "%0a"},
                     {"\x01\x7f", "%01%7f"},
                     {"@[`{/:", "%40%5b%60%7b%2f%3a"},
                     {"\xC3\xA9", "%c3%a9"},
                     {"\xC0\x80", "%c0%80"},
                     {"\x80\xFF", "%80%ff"},
                     {"x y\xE2\x82\xACz", "x+y%e2%82%acz"},
                     // Long inputs: the measured room filled to the last byte, the
                     // escapes of the tail included.
                     {std::string((1 << 20) + 1, '~'), repeated("%7e", (1 << 20) + 1)},
                     {std::string((1 << 20) - 1, 'a') + " +", std::string((1 << 20) - 1, 'a') + "+%2b"},
                 });
}

TEST(UrlCodec, DecodeBytes) {
    expect_bytes(jweb::url_decode, "url_decode",
                 {
                     {"", ""},
                     {"abc", "abc"},
                     {"a+b", "a b"},
                     {"++", "  "},
                     {"a%2bb", "a+b"},
                     {"%7e", "~"},
                     {"%7E", "~"},
                     {"%41%42", "AB"},
                     {"%c3%a9", "\xC3\xA9"},
                     {"%C3%A9", "\xC3\xA9"},
                     {"%c0%80", "\xC0\x80"},
                     {"%ff%FF%fF", "\xFF\xFF\xFF"},
                     {"a.b-c~*", "a.b-c~*"},
                     {"\xC3\xA9", "\xC3\xA9"},
                     // The two bytes after "%" are taken whatever they are;
                     // a non-digit counts as 0.
                     {"%g1", "\x01"},
                     {"%1g", "\x10"},
                     {"%%41",
                      "\x04"
                      "1"},
                     {"%+", "\x00"s},
                     {"a%zzb", "a\0b"s},
                     {"a%00b", "a\0b"s},
                     // Incomplete escapes at the end: a missing digit counts as 0.
                     {"%", "\x00"s},
                     {"ab%", "ab\0"s},
                     {"%4", "\x40"},
                     {"a%4", "a\x40"},
                     {"%f", "\xF0"},
                     {"%%", "\x00"s},
                     {"%%%", "\x00"s},
                     {"%%%%", "\x00\x00"s},
                 });
}

// 0 to 15 for a hexadecimal digit of either case, 0 for any other byte.
int hex_digit_value(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

// The decoding walk, one byte at a time, as the oracle for long inputs where
// the decoder works in blocks.
std::string url_decode_walk(const std::string& s) {
    const auto digit = [&](std::size_t k) {
        return k < s.size() ? hex_digit_value(static_cast<unsigned char>(s[k])) : 0;
    };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%') {
            out += static_cast<char>(digit(i + 1) * 16 + digit(i + 2));
            i += 2;
        } else {
            out += s[i] == '+' ? ' ' : s[i];
        }
    }
    return out;
}

// Long texts dense in "%", "+" and digits, with escapes across block ends,
// "%" among escape digits and escapes cut off by the end.
TEST(UrlCodec, DecodeOfLongMalformedTextFollowsTheWalk) {
    std::mt19937 rng(77);
    const std::string alphabet = "%%%%++aF19g \x80\xff";
    for (int k = 0; k < 2000; ++k) {
        std::string s(rng() % 300, 'x');
        const unsigned density = 1 + rng() % 8;
        for (char& c : s)
            c = rng() % density == 0 ? alphabet[rng() % alphabet.size()] : static_cast<char>('a' + rng() % 26);
        SCOPED_TRACE(testing::Message() << "[" << hex(s) << "]");
        const std::string expected = url_decode_walk(s);
        Buffer out(jweb::url_decode(s.c_str()));
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(hex(std::string(out.get(), expected.size() + 1)), hex(expected + '\0'));
    }
}

// Every byte as an escape's second digit: its value when it is a hexadecimal
// digit of either case, else 0.
TEST(UrlCodec, DecodeOfEveryByteAsAnEscapeDigit) {
    for (int c = 1; c < 256; ++c) {
        const std::string text = "%0" + std::string(1, static_cast<char>(c));
        Buffer out(jweb::url_decode(text.c_str()));
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(hex(std::string(out.get(), 2)), hex(std::string(1, static_cast<char>(hex_digit_value(c))) + '\0'))
            << "byte " << c;
    }
}

TEST(Base64Codec, EncodeBytes) {
    expect_bytes(jweb::base64_encode, "base64_encode",
                 {
                     {"", ""},
                     {"a", "YQ=="},
                     {"ab", "YWI="},
                     {"abc", "YWJj"},
                     {"abcd", "YWJjZA=="},
                     {"abcde", "YWJjZGU="},
                     {"abcdef", "YWJjZGVm"},
                     {"a b", "YSBi"},
                     {"~", "fg=="},
                     {"\xC3\xA9", "w6k="},
                     {"\xED\xA0\xBD\xED\xB8\x80", "7aC97biA"},
                     // Both ends of the alphabet: 62 "+", 63 "/".
                     {"\xFB\xFF\xBF", "+/+/"},
                     {"\xFF\xFF\xFF\xFF", "/////w=="},
                     {"\x01\x02\x03\x04\x05", "AQIDBAU="},
                     {"foobar", "Zm9vYmFy"},
                 });
}

TEST(Base64Codec, DecodeBytes) {
    expect_bytes(jweb::base64_decode, "base64_decode",
                 {
                     {"", ""},
                     {"YWJj", "abc"},
                     {"YQ==", "a"},
                     {"YWI=", "ab"},
                     {"YWJjZA==", "abcd"},
                     {"+/+/", "\xFB\xFF\xBF"},
                     {"/////w==", "\xFF\xFF\xFF\xFF"},
                     {"7aC97biA", "\xED\xA0\xBD\xED\xB8\x80"},
                     // Bits the padding would drop are dropped.
                     {"YR==", "a"},
                     {"AGE=", "\x00\x61"s},
                     // Missing padding: D = L - L/4, the terminator counts 0.
                     {"Y", "\x60"},
                     {"YQ", "a\0"s},
                     {"YR", "\x61\x10"},
                     {"YWI", "ab\0"s},
                     {"YWJjZA", "abcd\0"s},
                     // Short padding: L=3, T=1, D=2.
                     {"YQ=", "a\0"s},
                     // An inner "=" counts 0; only the final run is padding.
                     {"YWI=YWI=", "ab\0ab"s},
                     {"Y=Q=", "\x60\x04"},
                     // Every other byte takes part with its own value.
                     {"YWJj\n", "abc("},
                     {"YW Jj", "\x61\x68\x09\x8C"},
                     {"-_-_", "\xB5\xFB\x5F"},
                     {"\xFF\xFF\xFF\xFF", "\xFF\xFF\xFF"},
                     {"YWJj\r\nYWJj", "abc\x34\xA6\x16\x26\x30"},
                     // All padding, or more padding than text: empty.
                     {"=", ""},
                     {"==", ""},
                     {"===", ""},
                     {"====", ""},
                     {"A===", ""},
                     {"A=======", ""},
                     {"AB======", ""},
                     {"========", ""},
                     {"ABC=====", "\x00"s},
                 });
}

TEST(Codecs, NullInputGivesNull) {
    for (Codec codec : {jweb::url_encode, jweb::url_decode, jweb::base64_encode, jweb::base64_decode}) {
        EXPECT_EQ(codec(nullptr, nullptr), nullptr);
    }
}

// Random byte strings without NUL, biased so that every length class mod 3,
// runs of kept bytes, spaces, "%", "+" and "=" all turn up.
std::vector<std::string> random_strings() {
    std::mt19937 rng(20240611);
    const std::string specials = " %+=_/";
    std::vector<std::string> out;
    for (int k = 0; k < 3000; ++k) {
        const std::size_t len = k < 200 ? static_cast<std::size_t>(k) : rng() % 700;
        std::string s(len, 'x');
        const unsigned mode = rng() % 3;
        for (char& c : s) {
            const unsigned r = rng();
            if (mode == 0) {
                c = static_cast<char>(1 + r % 255);
            } else if (mode == 1) {
                c = static_cast<char>(r % 4 == 0 ? specials[(r >> 8) % specials.size()] : 'a' + (r >> 8) % 26);
            } else {
                c = static_cast<char>(r % 10 < 3 ? 0x80 + (r >> 8) % 128 : 0x20 + (r >> 8) % 95);
            }
        }
        out.push_back(std::move(s));
    }
    return out;
}

struct RoundTrip {
    const char* name;
    Codec encode;
    Codec decode;
    std::size_t (*encoded_length)(const std::string&);
};

std::size_t url_length(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        n += kept || c == ' ' ? 1 : 3;
    }
    return n;
}

std::size_t base64_length(const std::string& s) { return (s.size() + 2) / 3 * 4; }

TEST(Codecs, DecodeOfEncodeGivesTheInputBack) {
    const std::vector<std::string> inputs = random_strings();
    for (const RoundTrip& rt : {RoundTrip{"url", jweb::url_encode, jweb::url_decode, url_length},
                                RoundTrip{"base64", jweb::base64_encode, jweb::base64_decode, base64_length}}) {
        for (const std::string& s : inputs) {
            SCOPED_TRACE(testing::Message() << rt.name << " [" << hex(s) << "]");
            Buffer encoded(rt.encode(s.c_str(), nullptr));
            ASSERT_NE(encoded, nullptr);
            ASSERT_EQ(std::strlen(encoded.get()), rt.encoded_length(s));
            Buffer decoded(rt.decode(encoded.get(), nullptr));
            ASSERT_NE(decoded, nullptr);
            ASSERT_EQ(std::string(decoded.get(), s.size() + 1), s + '\0');
        }
    }
}

}  // namespace
