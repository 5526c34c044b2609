// The native pieces of an open-list call, without a Java runtime:
//   - the variadic call by count: the library's call_variadic_entry for a
//     list without a marker (typed calls up to typed_call_limit, the long-list
//     path beyond) and for one with a marker (padded typed calls up to
//     largest_padded_call), the long-list path alone at every count, and
//     libffi with its CIF prepared on every call and prepared once;
//   - the argument vector's allocation by count;
//   - the whole frame of jweb_url against a JNIEnv whose functions do nothing,
//     beside a hand-written loop that makes the same JNI calls and one direct
//     call: what the frame adds on top of the JNI calls it must make.
// The callee is a variadic no-op, as the silent stand-in engine is.
#include <benchmark/benchmark.h>
#include <ffi.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "bridge/engine_entry_table.h"
#include "frame/arg_vector.h"
#include "frame/call_frame.h"
#include "frame/variadic_call.h"

namespace {

[[gnu::noinline]] int silent_entry(const char* first, ...) {
    benchmark::DoNotOptimize(first);
    return 0;
}

const jweb::EngineEntry silent = reinterpret_cast<jweb::EngineEntry>(&silent_entry);

std::vector<const char*> filled_slots(std::size_t count, jweb::ListEnd end = jweb::ListEnd::exact) {
    std::vector<const char*> slots(count + jweb::variadic_scratch_words(count, end), "attribute=value");
    return slots;
}

void BM_VariadicEntry(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<const char*> slots = filled_slots(count);
    for (auto _ : state) benchmark::DoNotOptimize(jweb::call_variadic_entry(silent, count, slots.data()));
    state.SetLabel(count <= jweb::typed_call_limit ? "typed" : "long list");
}

void BM_VariadicEntryWithMarker(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<const char*> slots = filled_slots(count, jweb::ListEnd::marker);
    for (auto _ : state) {
        benchmark::DoNotOptimize(jweb::call_variadic_entry(silent, count, slots.data(), jweb::ListEnd::marker));
    }
    state.SetLabel(count <= jweb::typed_call_limit                         ? "typed"
                   : jweb::takes_padded_call(count, jweb::ListEnd::marker) ? "padded"
                                                                           : "long list");
}

// The long-list path at every count, the short ones included, to set the
// typed calls' limit where they stop paying for their code.
void BM_LongListCall(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<const char*> slots(count + 2 * count, "attribute=value");
    for (auto _ : state) {
        benchmark::DoNotOptimize(jweb::variadic_detail::jweb_call_long_list(silent, count, slots.data()));
    }
}

void prepare_types(std::size_t count, std::vector<ffi_type*>& types, std::vector<void*>& values,
                   std::vector<const char*>& slots) {
    types.assign(count, &ffi_type_pointer);
    values.resize(count);
    for (std::size_t i = 0; i < count; ++i) values[i] = &slots[i];
}

void BM_LibffiPrepEveryCall(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<const char*> slots = filled_slots(count);
    std::vector<ffi_type*> types;
    std::vector<void*> values;
    prepare_types(count, types, values, slots);
    for (auto _ : state) {
        ffi_cif cif;
        ffi_prep_cif_var(&cif, FFI_DEFAULT_ABI, 1, static_cast<unsigned>(count), &ffi_type_sint, types.data());
        ffi_arg result = 0;
        ffi_call(&cif, reinterpret_cast<void (*)()>(&silent_entry), &result, values.data());
        benchmark::DoNotOptimize(result);
    }
}

void BM_LibffiCachedCif(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<const char*> slots = filled_slots(count);
    std::vector<ffi_type*> types;
    std::vector<void*> values;
    prepare_types(count, types, values, slots);
    ffi_cif cif;
    ffi_prep_cif_var(&cif, FFI_DEFAULT_ABI, 1, static_cast<unsigned>(count), &ffi_type_sint, types.data());
    for (auto _ : state) {
        ffi_arg result = 0;
        ffi_call(&cif, reinterpret_cast<void (*)()>(&silent_entry), &result, values.data());
        benchmark::DoNotOptimize(result);
    }
}

void BM_ArgVector(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        jweb::ArgVector vector = jweb::allocate_arg_vector(count + 3, count);
        benchmark::DoNotOptimize(vector.slots);
        jweb::free_arg_vector(vector);
    }
}

// ---------------------------------------------------------------------------
// A JNIEnv whose functions cost nothing: element i is the reference i + 1,
// every string's bytes are one constant.

constexpr char silent_bytes[] = "attribute=value";

jsize JNICALL silent_length(JNIEnv*, jarray array) {
    return static_cast<jsize>(reinterpret_cast<std::uintptr_t>(array));
}
jobject JNICALL silent_element(JNIEnv*, jobjectArray, jsize index) {
    return reinterpret_cast<jobject>(static_cast<std::uintptr_t>(index) + 1);
}
const char* JNICALL silent_borrow(JNIEnv*, jstring, jboolean*) { return silent_bytes; }
void JNICALL silent_release(JNIEnv*, jstring string, const char* chars) {
    benchmark::DoNotOptimize(string);
    benchmark::DoNotOptimize(chars);
}
jint JNICALL silent_ensure(JNIEnv*, jint) { return JNI_OK; }
jint JNICALL silent_push(JNIEnv*, jint) { return JNI_OK; }
jobject JNICALL silent_pop(JNIEnv*, jobject) { return nullptr; }

// The compiler must not see through the table and inline the functions, as
// it cannot for a real runtime: env() hides where it points.
struct SilentJni {
    JNINativeInterface_ functions{};
    JNIEnv silent{};
    JNIEnv* env() {
        JNIEnv* e = &silent;
        benchmark::DoNotOptimize(e);
        return e;
    }
    SilentJni() {
        functions.GetArrayLength = silent_length;
        functions.GetObjectArrayElement = silent_element;
        functions.GetStringUTFChars = silent_borrow;
        functions.ReleaseStringUTFChars = silent_release;
        functions.EnsureLocalCapacity = silent_ensure;
        functions.PushLocalFrame = silent_push;
        functions.PopLocalFrame = silent_pop;
        silent.functions = &functions;
    }
};

// The array "reference" carries its length, which silent_length hands back.
jobjectArray array_of(std::size_t length) {
    return reinterpret_cast<jobjectArray>(static_cast<std::uintptr_t>(length));
}
const jstring some_string = reinterpret_cast<jstring>(std::uintptr_t{0x10});

constexpr std::size_t web_url_slot = jweb::slot_of("web_url");

void BM_UrlFrame(benchmark::State& state) {
    SilentJni jni;
    const auto n = static_cast<std::size_t>(state.range(0));
    jweb::engine_entry_table.entries[web_url_slot] = silent;
    for (auto _ : state) {
        benchmark::DoNotOptimize(jweb::call_list<"web_url">(jni.env(), jweb::Str{some_string}, jweb::Str{some_string},
                                                            jweb::Elements{array_of(n)}, jweb::LAST));
    }
    jweb::engine_entry_table.entries[web_url_slot] = nullptr;
}

// The same JNI calls in the same order, references kept on the stack, one
// call through a pointer of the exact arity.
template <std::size_t... I>
int url_by_hand(JNIEnv* env, jstring name, jstring url, jobjectArray attributes, std::index_sequence<I...>) {
    constexpr std::size_t n = sizeof...(I);
    if (static_cast<std::size_t>(env->GetArrayLength(attributes)) != n) return -1;
    if constexpr (n > 15) env->EnsureLocalCapacity(static_cast<jint>(n + 1));
    const char* s1 = env->GetStringUTFChars(name, nullptr);
    const char* s2 = env->GetStringUTFChars(url, nullptr);
    jstring refs[n + 1];
    const char* chars[n + 1];
    for (std::size_t i = 0; i < n; ++i) {
        refs[i] = static_cast<jstring>(env->GetObjectArrayElement(attributes, static_cast<jsize>(i)));
        chars[i] = env->GetStringUTFChars(refs[i], nullptr);
    }
    auto* volatile entry = &silent_entry;
    const int result = entry(s1, s2, chars[I]..., jweb::marker_last);
    env->ReleaseStringUTFChars(name, s1);
    env->ReleaseStringUTFChars(url, s2);
    for (std::size_t i = 0; i < n; ++i) env->ReleaseStringUTFChars(refs[i], chars[i]);
    return result;
}

template <std::size_t N>
void BM_UrlByHand(benchmark::State& state) {
    SilentJni jni;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            url_by_hand(jni.env(), some_string, some_string, array_of(N), std::make_index_sequence<N>{}));
    }
}

void counts_across_the_limit(benchmark::internal::Benchmark* b) {
    for (int64_t count : {1, 3, 13, 23, 33, 48, 64, 65, 80, 103, 128, 129, 256, 303, 1003, 5003, 8192, 8193})
        b->Arg(count);
}

}  // namespace

BENCHMARK(BM_VariadicEntry)->Apply(counts_across_the_limit);
BENCHMARK(BM_VariadicEntryWithMarker)->Apply(counts_across_the_limit);
BENCHMARK(BM_LongListCall)->Apply(counts_across_the_limit);
BENCHMARK(BM_LibffiPrepEveryCall)->Apply(counts_across_the_limit);
BENCHMARK(BM_LibffiCachedCif)->Apply(counts_across_the_limit);
BENCHMARK(BM_ArgVector)->Arg(0)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_UrlFrame)->Arg(0)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_UrlByHand<0>);
BENCHMARK(BM_UrlByHand<10>);
BENCHMARK(BM_UrlByHand<100>);
BENCHMARK(BM_UrlByHand<1000>);
