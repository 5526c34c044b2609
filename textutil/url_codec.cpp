#include "textutil/url_codec.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace jweb {
namespace {

constexpr bool is_kept(unsigned c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Bytes the encoded form of each byte adds beyond one. A space counts as an
// escape here although it becomes "+": the buffer is sized by this count.
constexpr auto extra_length_of = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned c = 0; c < 256; ++c) t[c] = is_kept(c) ? 0 : 2;
    return t;
}();

// Encoded form of each byte as a word whose bytes in memory are its (up to)
// three chars and then its length, so the main loop stores the chars with one
// move and reads the length from the same load.
constexpr std::uint32_t form_word(char c0, char c1, char c2, unsigned length) {
    const unsigned char b[4] = {static_cast<unsigned char>(c0), static_cast<unsigned char>(c1),
                                static_cast<unsigned char>(c2), static_cast<unsigned char>(length)};
    if constexpr (std::endian::native == std::endian::little) {
        return b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t{b[3]} << 24);
    } else {
        return (std::uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    }
}

constexpr std::size_t form_length(std::uint32_t word) {
    if constexpr (std::endian::native == std::endian::little) {
        return word >> 24;
    } else {
        return word & 0xff;
    }
}

constexpr auto form_of = [] {
    constexpr char digits[] = "0123456789abcdef";
    std::array<std::uint32_t, 256> t{};
    for (unsigned c = 0; c < 256; ++c) {
        if (is_kept(c)) {
            t[c] = form_word(static_cast<char>(c), 0, 0, 1);
        } else if (c == ' ') {
            t[c] = form_word('+', 0, 0, 1);
        } else {
            t[c] = form_word('%', digits[c >> 4], digits[c & 15], 3);
        }
    }
    return t;
}();

constexpr int digit_value(unsigned c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return 0;
}

constexpr auto digit_of = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(digit_value(c));
    return t;
}();

constexpr auto high_digit_of = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(digit_value(c) << 4);
    return t;
}();

// Plain bytes as decoded: "+" is a space, the rest stand for themselves.
constexpr auto plain_of = [] {
    std::array<char, 256> t{};
    for (unsigned c = 0; c < 256; ++c) t[c] = static_cast<char>(c == '+' ? ' ' : c);
    return t;
}();

// Eight bytes at a time with byte k in bits 8k..8k+7 whatever the machine's
// byte order, which the bit tricks below rely on.
inline std::uint64_t load_le64(const unsigned char* p) {
    std::uint64_t w;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&w, p, 8);
    } else {
        w = 0;
        for (int k = 7; k >= 0; --k) w = (w << 8) | p[k];
    }
    return w;
}

inline void store_le64(char* p, std::uint64_t w) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &w, 8);
    } else {
        for (int k = 0; k < 8; ++k) p[k] = static_cast<char>(w >> (8 * k));
    }
}

constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7full;
constexpr std::uint64_t each_byte = 0x0101010101010101ull;

// High bit set in each byte of `w` that equals `b`, all other bits clear.
constexpr std::uint64_t bytes_equal(std::uint64_t w, unsigned char b) {
    const std::uint64_t x = w ^ (each_byte * b);
    return ~(((x & low7) + low7) | x | low7);
}

// Bit k set where byte k of a bytes_equal() result is marked.
constexpr std::uint64_t byte_bits(std::uint64_t marks) { return ((marks >> 7) * 0x0102040810204080ull) >> 56; }

// Copies `len` bytes holding no "%", "+" becoming " ", in whole words: it
// reads and writes up to 7 bytes past `len` (at least 8 in all), which the
// caller leaves room for; the extra output is overwritten or lies past the
// terminator.
inline void copy_plain(const unsigned char* src, std::size_t len, char* dst) {
    std::size_t k = 0;
    do {
        std::uint64_t w = load_le64(src + k);
        w -= (bytes_equal(w, '+') >> 7) * ('+' - ' ');
        store_le64(dst + k, w);
        k += 8;
    } while (k < len);
}

}  // namespace

char* url_encode(const char* text, TextLengths* lengths) {
    if (text == nullptr) return nullptr;
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    const std::size_t n = std::strlen(text);

    // One pass over the known length sizes the result; four sums keep the
    // table lookups independent. `extra` is at most twice the length of an
    // object, so only the final sum can overflow.
    std::size_t extra0 = 0, extra1 = 0, extra2 = 0, extra3 = 0;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        extra0 += extra_length_of[in[i]];
        extra1 += extra_length_of[in[i + 1]];
        extra2 += extra_length_of[in[i + 2]];
        extra3 += extra_length_of[in[i + 3]];
    }
    for (; i < n; ++i) extra0 += extra_length_of[in[i]];
    const std::size_t extra = extra0 + extra1 + extra2 + extra3;
    if (extra > SIZE_MAX - 1 - n) return nullptr;
    const std::size_t size = n + extra + 1;

    char* out = static_cast<char*>(std::malloc(size));
    if (out == nullptr) return nullptr;

    // Text written never runs ahead of the sized count, and each byte still to
    // come takes at least one byte of it: with three or more input bytes left,
    // the four-byte store stays inside the buffer (six or more for the last of
    // four in a row). Four bytes a round, through a pointer: the loop's one
    // chain of dependent steps is then the pointer's advance.
    char* o = out;
    const auto put = [&o](unsigned char c) {
        const std::uint32_t form = form_of[c];
        std::memcpy(o, &form, 4);
        o += form_length(form);
    };
    i = 0;
    for (; i + 6 <= n; i += 4) {
        put(in[i]);
        put(in[i + 1]);
        put(in[i + 2]);
        put(in[i + 3]);
    }
    for (; i + 3 <= n; ++i) put(in[i]);
    for (; i < n; ++i) {
        const std::uint32_t form = form_of[in[i]];
        const std::size_t len = form_length(form);
        std::memcpy(o, &form, len);
        o += len;
    }
    *o = '\0';
    if (lengths != nullptr) *lengths = {n, static_cast<std::size_t>(o - out)};
    return out;
}

char* url_decode(const char* text, TextLengths* lengths) {
    if (text == nullptr) return nullptr;
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    const std::size_t n = std::strlen(text);
    if (n == SIZE_MAX) return nullptr;

    char* out = static_cast<char*>(std::malloc(n + 1));
    if (out == nullptr) return nullptr;

    std::size_t i = 0;
    std::size_t o = 0;

    // Blocks of 64 bytes: a bit mask of the "%" bytes gives the escapes, and
    // the plain runs between them are copied in words, so the branches follow
    // the escapes rather than every byte. Each block needs 8 readable bytes
    // past its end for the word copies; the output never runs ahead of the
    // input, so the word stores stay inside the n + 1 bytes as well.
    unsigned skip = 0;  // digits of an escape from the block before
    for (; i + 72 <= n; i += 64) {
        const unsigned char* block = in + i;
        std::uint64_t percent = 0;
        for (unsigned q = 0; q < 8; ++q) percent |= byte_bits(bytes_equal(load_le64(block + 8 * q), '%')) << (8 * q);
        std::uint64_t starts = percent & (~std::uint64_t{0} << skip);
        if ((starts & ((starts << 1) | (starts << 2))) != 0) {
            // A "%" among an escape's digits is a digit: take escapes left to right.
            std::uint64_t rest = starts;
            starts = 0;
            while (rest != 0) {
                const std::uint64_t lowest = rest & (0 - rest);
                starts |= lowest;
                rest &= ~(lowest | (lowest << 1) | (lowest << 2));
            }
        }
        std::size_t pos = skip;
        for (; starts != 0; starts &= starts - 1) {
            const auto at = static_cast<std::size_t>(std::countr_zero(starts));
            copy_plain(block + pos, at - pos, out + o);
            o += at - pos;
            out[o++] = static_cast<char>(high_digit_of[block[at + 1]] | digit_of[block[at + 2]]);
            pos = at + 3;
        }
        if (pos < 64) {
            copy_plain(block + pos, 64 - pos, out + o);
            o += 64 - pos;
            skip = 0;
        } else {
            skip = static_cast<unsigned>(pos - 64);
        }
    }
    i += skip;

    // The rest byte by byte. While i + 1 < n both bytes after a "%" are
    // readable: the second may be the terminator, whose digit value 0 stands in
    // for the missing digit.
    while (i + 1 < n) {
        const unsigned char c = in[i];
        if (c != '%') {
            out[o++] = plain_of[c];
            ++i;
        } else {
            out[o++] = static_cast<char>(high_digit_of[in[i + 1]] | digit_of[in[i + 2]]);
            i += 3;
        }
    }
    // A last lone byte; a "%" there has both digits missing and gives byte 0.
    if (i < n) out[o++] = in[i] == '%' ? '\0' : plain_of[in[i]];
    out[o] = '\0';
    if (lengths != nullptr) *lengths = {n, o};
    return out;
}

}  // namespace jweb
