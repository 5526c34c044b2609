#include "textutil/url_codec.h"

#include <array>
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
constexpr auto kExtraLength = [] {
  std::array<unsigned char, 256> t{};
  for (unsigned c = 0; c < 256; ++c) t[c] = is_kept(c) ? 0 : 2;
  return t;
}();

// Encoded form of each byte in the first three chars, its length in the fourth,
// so the main loop stores all four with one move and advances by the length.
constexpr auto kForm = [] {
  constexpr char digits[] = "0123456789abcdef";
  std::array<std::array<char, 4>, 256> t{};
  for (unsigned c = 0; c < 256; ++c) {
    if (is_kept(c)) {
      t[c] = {static_cast<char>(c), 0, 0, 1};
    } else if (c == ' ') {
      t[c] = {'+', 0, 0, 1};
    } else {
      t[c] = {'%', digits[c >> 4], digits[c & 15], 3};
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

constexpr auto kDigit = [] {
  std::array<unsigned char, 256> t{};
  for (unsigned c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(digit_value(c));
  return t;
}();

constexpr auto kHighDigit = [] {
  std::array<unsigned char, 256> t{};
  for (unsigned c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(digit_value(c) << 4);
  return t;
}();

// Plain bytes as decoded: "+" is a space, the rest stand for themselves.
constexpr auto kPlain = [] {
  std::array<char, 256> t{};
  for (unsigned c = 0; c < 256; ++c) t[c] = static_cast<char>(c == '+' ? ' ' : c);
  return t;
}();

}  // namespace

int hex_digit_value(unsigned char ch) { return kDigit[ch]; }

char* url_encode(const char* text) {
  if (text == nullptr) return nullptr;
  const auto* in = reinterpret_cast<const unsigned char*>(text);

  // One pass finds the end and the size. `extra` is at most twice the length,
  // so only the final sum can overflow.
  std::size_t extra = 0;
  const unsigned char* p = in;
  for (unsigned char c; (c = *p) != 0; ++p) extra += kExtraLength[c];
  const std::size_t n = static_cast<std::size_t>(p - in);
  if (extra > SIZE_MAX - 1 - n) return nullptr;
  const std::size_t size = n + extra + 1;

  char* out = static_cast<char*>(std::malloc(size));
  if (out == nullptr) return nullptr;

  // Text written never runs ahead of the sized count, so while four bytes fit
  // before the end of the buffer the four-byte store is safe.
  std::size_t i = 0;
  std::size_t o = 0;
  for (; i < n && o + 4 <= size; ++i) {
    const auto& form = kForm[in[i]];
    std::memcpy(out + o, form.data(), 4);
    o += static_cast<unsigned char>(form[3]);
  }
  for (; i < n; ++i) {
    const auto& form = kForm[in[i]];
    const std::size_t len = static_cast<unsigned char>(form[3]);
    std::memcpy(out + o, form.data(), len);
    o += len;
  }
  out[o] = '\0';
  return out;
}

char* url_decode(const char* text) {
  if (text == nullptr) return nullptr;
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  const std::size_t n = std::strlen(text);
  if (n == SIZE_MAX) return nullptr;

  char* out = static_cast<char*>(std::malloc(n + 1));
  if (out == nullptr) return nullptr;

  // While i + 1 < n both bytes after a "%" are readable: the second may be the
  // terminator, whose digit value 0 stands in for the missing digit.
  std::size_t i = 0;
  std::size_t o = 0;
  while (i + 1 < n) {
    const unsigned char c = in[i];
    if (c != '%') {
      out[o++] = kPlain[c];
      ++i;
    } else {
      out[o++] = static_cast<char>(kHighDigit[in[i + 1]] | kDigit[in[i + 2]]);
      i += 3;
    }
  }
  // A last lone byte; a "%" there has both digits missing and gives byte 0.
  if (i < n) out[o++] = in[i] == '%' ? '\0' : kPlain[in[i]];
  out[o] = '\0';
  return out;
}

}  // namespace jweb
