// Plain byte-at-a-time models of the codecs, written for clarity rather than
// speed, which the fuzz targets compare the table-driven code against.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sanitizer/allocator_interface.h>

namespace codec_reference {

inline bool url_kept(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

inline int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

inline std::string url_encode(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (url_kept(c)) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += "0123456789abcdef"[c >> 4];
            out += "0123456789abcdef"[c & 15];
        }
    }
    return out;
}

// Bytes produced before the terminator; a missing escape digit counts as 0.
inline std::string url_decode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '%') {
            const int hi = i + 1 < s.size() ? hex_value(static_cast<unsigned char>(s[i + 1])) : 0;
            const int lo = i + 2 < s.size() ? hex_value(static_cast<unsigned char>(s[i + 2])) : 0;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c == '+' ? ' ' : static_cast<char>(c);
        }
    }
    return out;
}

inline const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

inline std::string base64_encode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); i += 3) {
        unsigned w = 0;
        const std::size_t k = s.size() - i < 3 ? s.size() - i : 3;
        for (std::size_t j = 0; j < 3; ++j) {
            w = w << 8 | (j < k ? static_cast<unsigned char>(s[i + j]) : 0u);
        }
        for (std::size_t j = 0; j < 4; ++j) {
            out += j <= k ? alphabet[(w >> (18 - 6 * j)) & 63] : '=';
        }
    }
    return out;
}

inline unsigned base64_value(unsigned char c) {
    if (c == '=') return 0;
    const char* p = c != 0 ? std::strchr(alphabet, c) : nullptr;
    return p != nullptr ? static_cast<unsigned>(p - alphabet) : c;
}

// The decoding rule read literally: D = (L - T) - L/4 bytes (none when
// negative), byte k from the formula for k mod 3 over group k / 3.
inline std::string base64_decode(const std::string& s) {
    const std::size_t len = s.size();
    std::size_t pad = 0;
    while (pad < len && s[len - 1 - pad] == '=') ++pad;
    const long long d = static_cast<long long>(len - pad) - static_cast<long long>(len / 4);
    std::string out;
    auto v = [&](std::size_t pos) {
        if (pos > len) {
            std::fprintf(stderr, "reference read past the terminator at %zu of %zu\n", pos, len);
            std::abort();
        }
        return pos == len ? 0u : base64_value(static_cast<unsigned char>(s[pos]));
    };
    for (long long k = 0; k < d; ++k) {
        const std::size_t g = static_cast<std::size_t>(k) / 3;
        unsigned b = 0;
        switch (k % 3) {
            case 0: b = v(4 * g) * 4 + (v(4 * g + 1) / 16) % 4; break;
            case 1: b = v(4 * g + 1) * 16 + (v(4 * g + 2) / 4) % 16; break;
            default: b = v(4 * g + 2) * 64 + v(4 * g + 3) % 64; break;
        }
        out += static_cast<char>(b % 256);
    }
    return out;
}

// The fuzz input as the C string the codecs see: up to its first NUL.
inline std::string as_text(const unsigned char* data, std::size_t size) {
    const void* nul = std::memchr(data, 0, size);
    const std::size_t n =
        nul != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - data) : size;
    return std::string(reinterpret_cast<const char*>(data), n);
}

// Fails unless `got` holds `expected` and then a terminator.
inline void check_bytes(const char* what, const char* got, const std::string& expected) {
    if (got == nullptr) {
        std::fprintf(stderr, "%s: null result\n", what);
        std::abort();
    }
    if (std::memcmp(got, expected.data(), expected.size()) != 0 || got[expected.size()] != '\0') {
        std::fprintf(stderr, "%s: result differs from the reference (%zu bytes expected)\n", what, expected.size());
        std::abort();
    }
}

// Fails unless the sanitizer's allocator saw exactly `size` bytes requested
// for `p`: the buffer sizes are part of the codecs' contract.
inline void check_allocation(const char* what, const char* p, std::size_t size) {
    const std::size_t got = __sanitizer_get_allocated_size(p);
    if (got != size) {
        std::fprintf(stderr, "%s: %zu bytes allocated, %zu expected\n", what, got, size);
        std::abort();
    }
}

}  // namespace codec_reference
