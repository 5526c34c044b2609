// Throughput of the URL and Base64 codecs on 1 KB, 64 KB and 1 MB inputs,
// beside memcpy of the same sizes as the ceiling. Figures are input bytes per
// second, each call including its allocation and free of the result.
//
// Each size cycles through distinct inputs (about 1 MB in all): one short
// input repeated would let the branch predictor learn where its escapes are
// and report speeds that real request bodies never see.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "textutil/base64_codec.h"
#include "textutil/url_codec.h"

namespace {

enum Kind : int { ascii = 0, mixed = 1 };

// Form-like ASCII text: words, spaces and some punctuation; or the same with
// about 30% of the bytes in 0x80-0xFF. Never a NUL.
std::string make_text(std::size_t size, int kind, unsigned seed) {
    std::mt19937 rng(seed);
    static const char punct[] = ".,-=&%+/:;!?'\"()";
    std::string s;
    s.reserve(size);
    while (s.size() < size) {
        const unsigned r = rng() % 100;
        if (kind == mixed && r < 30) {
            s += static_cast<char>(0x80 + rng() % 128);
        } else if (r < 45) {
            s += static_cast<char>('a' + rng() % 26);
        } else if (r < 55) {
            s += ' ';
        } else if (r < 65) {
            s += static_cast<char>('A' + rng() % 26);
        } else if (r < 75) {
            s += static_cast<char>('0' + rng() % 10);
        } else if (r < 80) {
            s += punct[rng() % (sizeof punct - 1)];
        } else {
            s += static_cast<char>('a' + rng() % 26);
        }
    }
    return s;
}

std::string take(char* p) {
    std::string s(p);
    std::free(p);
    return s;
}

// URL-encoded text of exactly `size` bytes: whole escapes, padded with "a".
std::string make_url_encoded(std::size_t size, int kind, unsigned seed) {
    const std::string plain = make_text(size, kind, seed);
    const std::string encoded = take(jweb::url_encode(plain.c_str()));
    std::size_t cut = size;
    while (cut > 0 && (encoded[cut - 1] == '%' || (cut > 1 && encoded[cut - 2] == '%'))) --cut;
    return encoded.substr(0, cut) + std::string(size - cut, 'a');
}

// Base64 of exactly `size` chars (size is a multiple of 4 here).
std::string make_base64(std::size_t size, int kind, unsigned seed) {
    const std::string plain = make_text(size / 4 * 3, kind, seed);
    return take(jweb::base64_encode(plain.c_str()));
}

std::vector<std::string> make_inputs(const benchmark::State& state, std::string (*make)(std::size_t, int, unsigned)) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto kind = static_cast<int>(state.range(1));
    const std::size_t count = size < (1u << 20) ? (1u << 20) / size : 1;
    std::vector<std::string> inputs;
    for (std::size_t k = 0; k < count; ++k) inputs.push_back(make(size, kind, static_cast<unsigned>(k + 1)));
    return inputs;
}

void run(benchmark::State& state, char* (*codec)(const char*, jweb::TextLengths*),
         const std::vector<std::string>& inputs) {
    std::size_t next = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        const std::string& input = inputs[next];
        next = next + 1 == inputs.size() ? 0 : next + 1;
        char* out = codec(input.c_str(), nullptr);
        benchmark::DoNotOptimize(out);
        std::free(out);
        bytes += static_cast<int64_t>(input.size());
    }
    state.SetBytesProcessed(bytes);
    state.SetLabel(state.range(1) == ascii ? "ascii" : "mixed");
}

void BM_UrlEncode(benchmark::State& state) { run(state, jweb::url_encode, make_inputs(state, make_text)); }

void BM_UrlDecode(benchmark::State& state) { run(state, jweb::url_decode, make_inputs(state, make_url_encoded)); }

void BM_Base64Encode(benchmark::State& state) { run(state, jweb::base64_encode, make_inputs(state, make_text)); }

void BM_Base64Decode(benchmark::State& state) { run(state, jweb::base64_decode, make_inputs(state, make_base64)); }

void BM_Memcpy(benchmark::State& state) {
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    std::vector<char> src(size, 'x');
    std::vector<char> dst(size);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), size);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void sizes_and_kinds(benchmark::internal::Benchmark* b) {
    for (int64_t kind : {ascii, mixed}) {
        for (int64_t size : {1 << 10, 1 << 16, 1 << 20}) b->Args({size, kind});
    }
}

}  // namespace

BENCHMARK(BM_UrlEncode)->Apply(sizes_and_kinds);
BENCHMARK(BM_UrlDecode)->Apply(sizes_and_kinds);
BENCHMARK(BM_Base64Encode)->Apply(sizes_and_kinds);
BENCHMARK(BM_Base64Decode)->Apply(sizes_and_kinds);
BENCHMARK(BM_Memcpy)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);
