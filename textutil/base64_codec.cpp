#include "textutil/base64_codec.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace jweb {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two chars for each 12-bit half of a 3-byte group: two lookups per group
// instead of four.
constexpr auto pair_of = [] {
    std::array<std::array<char, 2>, 4096> t{};
    for (unsigned i = 0; i < 4096; ++i) t[i] = {alphabet[i >> 6], alphabet[i & 63]};
    return t;
}();

inline std::uint64_t load_big_endian_64(const unsigned char* p) {
    return (std::uint64_t{p[0]} << 56) | (std::uint64_t{p[1]} << 48) | (std::uint64_t{p[2]} << 40) |
           (std::uint64_t{p[3]} << 32) | (std::uint64_t{p[4]} << 24) | (std::uint64_t{p[5]} << 16) |
           (std::uint64_t{p[6]} << 8) | std::uint64_t{p[7]};
}

// A byte's value: its alphabet value, 0 for "=", otherwise the byte itself.
constexpr unsigned value_of(unsigned c) {
    if (c == '=') return 0;
    for (unsigned k = 0; k < 64; ++k) {
        if (static_cast<unsigned char>(alphabet[k]) == c) return k;
    }
    return c;
}

// A word whose bytes in memory are b0 b1 b2 0, so one store writes a group.
constexpr std::uint32_t pack(unsigned b0, unsigned b1, unsigned b2) {
    b0 &= 0xff;
    b1 &= 0xff;
    b2 &= 0xff;
    if constexpr (std::endian::native == std::endian::little) {
        return b0 | (b1 << 8) | (b2 << 16);
    } else {
        return (b0 << 24) | (b1 << 16) | (b2 << 8);
    }
}

// For each position in a group of four, the bits a byte there contributes to
// the group's three output bytes, taken modulo 256 as the decoding rule says:
//   out0 = v0*4 + (v1/16)%4,  out1 = v1*16 + (v2/4)%16,  out2 = v2*64 + v3%64.
// Each term fills bits the others leave clear, so OR-ing the four entries
// gives the sums.
struct DecodeTables {
    std::array<std::uint32_t, 256> at[4];
};

constexpr DecodeTables decode_tables = [] {
    DecodeTables t{};
    for (unsigned c = 0; c < 256; ++c) {
        const unsigned v = value_of(c);
        t.at[0][c] = pack(v * 4, 0, 0);
        t.at[1][c] = pack((v / 16) % 4, v * 16, 0);
        t.at[2][c] = pack(0, (v / 4) % 16, v * 64);
        t.at[3][c] = pack(0, 0, v % 64);
    }
    return t;
}();

}  // namespace

char* base64_encode(const char* text, TextLengths* lengths) {
    if (text == nullptr) return nullptr;
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    const std::size_t n = std::strlen(text);
    const std::size_t groups = n / 3 + (n % 3 != 0);
    if (groups > (SIZE_MAX - 1) / 4) return nullptr;
    const std::size_t size = groups * 4 + 1;

    char* out = static_cast<char*>(std::malloc(size));
    if (out == nullptr) return nullptr;

    std::size_t i = 0;
    char* o = out;
    // Two groups per step from one big-endian 8-byte read (compilers turn it
    // into a load and a byte swap); its last two bytes are unused, so it needs
    // i + 8 <= n.
    for (; i + 8 <= n; i += 6, o += 8) {
        const std::uint64_t w = load_big_endian_64(in + i);
        std::memcpy(o, pair_of[(w >> 52) & 0xfff].data(), 2);
        std::memcpy(o + 2, pair_of[(w >> 40) & 0xfff].data(), 2);
        std::memcpy(o + 4, pair_of[(w >> 28) & 0xfff].data(), 2);
        std::memcpy(o + 6, pair_of[(w >> 16) & 0xfff].data(), 2);
    }
    for (; i + 3 <= n; i += 3, o += 4) {
        const std::uint32_t w = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        std::memcpy(o, pair_of[w >> 12].data(), 2);
        std::memcpy(o + 2, pair_of[w & 0xfff].data(), 2);
    }
    const std::size_t rest = n - i;
    if (rest != 0) {
        const std::uint32_t w = (std::uint32_t{in[i]} << 16) | (rest == 2 ? std::uint32_t{in[i + 1]} << 8 : 0);
        o[0] = alphabet[w >> 18];
        o[1] = alphabet[(w >> 12) & 63];
        o[2] = rest == 2 ? alphabet[(w >> 6) & 63] : '=';
        o[3] = '=';
        o += 4;
    }
    *o = '\0';
    if (lengths != nullptr) *lengths = {n, static_cast<std::size_t>(o - out)};
    return out;
}

char* base64_decode(const char* text, TextLengths* lengths) {
    if (text == nullptr) return nullptr;
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    const std::size_t len = std::strlen(text);
    std::size_t kept = len;  // length less the "=" run that ends the text
    while (kept > 0 && in[kept - 1] == '=') --kept;
    // D = (L - T) - L/4, empty when that would be negative.
    const std::size_t d = kept >= len / 4 ? kept - len / 4 : 0;

    char* out = static_cast<char*>(std::malloc(d + 1));
    if (out == nullptr) return nullptr;

    // Since D <= L - L/4, the last position any group or tail formula reads is
    // at most L, the terminator, whose value is 0: no read goes past the text.
    const auto& t = decode_tables.at;
    const std::size_t groups = d / 3;
    const unsigned char* s = in;
    char* o = out;
    // A whole group's fourth stored byte lands at most on position D, the
    // terminator's slot, which is written last.
    for (std::size_t g = 0; g < groups; ++g, s += 4, o += 3) {
        const std::uint32_t w = t[0][s[0]] | t[1][s[1]] | t[2][s[2]] | t[3][s[3]];
        std::memcpy(o, &w, 4);
    }
    const std::size_t rest = d - groups * 3;
    if (rest != 0) {
        std::uint32_t w = t[0][s[0]] | t[1][s[1]];
        if (rest == 2) w |= t[2][s[2]];
        unsigned char bytes[4];
        std::memcpy(bytes, &w, 4);
        std::memcpy(o, bytes, rest);
        o += rest;
    }
    *o = '\0';
    if (lengths != nullptr) *lengths = {len, d};
    return out;
}

}  // namespace jweb
