// Hand-written JNI functions, built only for the benchmarks, that set the
// limit each library method is measured against: exactly the JNI calls the
// method makes, in the same order, then one direct call of the same engine
// entry with the argument count fixed at compile time. No entry check, no
// argument vector, no guard. Each list is supported at the lengths the
// benchmarks use; other lengths return -1.
#include <dlfcn.h>
#include <jni.h>

#include <cstddef>
#include <cstdlib>
#include <utility>

namespace {

using FixedNone = int (*)();
using FixedTwo = int (*)(const char*, const char*);
using ListEntry = int (*)(const char*, ...);

template <class Function>
Function engine_function(const char* name) {
    void* engine = dlopen("libTswReplayMain.so", RTLD_NOLOAD | RTLD_LAZY);
    return engine != nullptr ? reinterpret_cast<Function>(dlsym(engine, name)) : nullptr;
}

ListEntry list_entry(const char* name) { return engine_function<ListEntry>(name); }

// The same count as the library's: 16 local references come free, one of
// them kept for the frame, so more than 15 elements ask for room.
void reserve_local_refs(JNIEnv* env, std::size_t elements) {
    if (elements > 15) env->EnsureLocalCapacity(static_cast<jint>(elements + 1));
}

// Each element fetched once, its reference kept for the release.
template <std::size_t N>
struct BorrowedElements {
    jstring refs[N + 1];
    const char* chars[N + 1];

    void borrow(JNIEnv* env, jobjectArray array) {
        for (std::size_t i = 0; i < N; ++i) {
            refs[i] = static_cast<jstring>(env->GetObjectArrayElement(array, static_cast<jsize>(i)));
            chars[i] = env->GetStringUTFChars(refs[i], nullptr);
        }
    }
    void release(JNIEnv* env) const {
        for (std::size_t i = 0; i < N; ++i) env->ReleaseStringUTFChars(refs[i], chars[i]);
    }
};

template <std::size_t... I>
int call_exact(ListEntry entry, const char* first, const char* const* rest, std::index_sequence<I...>) {
    return entry(first, rest[I]...);
}

// entry(first, rest[0], ..., rest[Rest - 1]): a fixed-arity call.
template <std::size_t Rest>
int call_list(ListEntry entry, const char* first, const char* const* rest) {
    return call_exact(entry, first, rest, std::make_index_sequence<Rest>{});
}

template <std::size_t N>
int url_limit(JNIEnv* env, jstring name, jstring url, jobjectArray attributes) {
    static const ListEntry entry = list_entry("web_url");
    reserve_local_refs(env, N);
    const char* name_chars = env->GetStringUTFChars(name, nullptr);
    const char* url_chars = env->GetStringUTFChars(url, nullptr);
    BorrowedElements<N> elements;
    elements.borrow(env, attributes);
    const char* rest[N + 2];
    rest[0] = url_chars;
    for (std::size_t i = 0; i < N; ++i) rest[1 + i] = elements.chars[i];
    rest[N + 1] = "LAST";
    const int result = call_list<N + 2>(entry, name_chars, rest);
    env->ReleaseStringUTFChars(name, name_chars);
    env->ReleaseStringUTFChars(url, url_chars);
    elements.release(env);
    return result;
}

template <std::size_t A, std::size_t I>
int submit_data_limit(JNIEnv* env, jstring name, jstring action, jobjectArray attributes, jobjectArray items) {
    static const ListEntry entry = list_entry("web_submit_data");
    reserve_local_refs(env, A + I);
    const char* name_chars = env->GetStringUTFChars(name, nullptr);
    const char* action_chars = env->GetStringUTFChars(action, nullptr);
    BorrowedElements<A> attribute_elements;
    attribute_elements.borrow(env, attributes);
    BorrowedElements<I> item_elements;
    item_elements.borrow(env, items);
    const char* rest[A + I + 3];
    std::size_t k = 0;
    rest[k++] = action_chars;
    for (std::size_t i = 0; i < A; ++i) rest[k++] = attribute_elements.chars[i];
    rest[k++] = "ITEMDATA";
    for (std::size_t i = 0; i < I; ++i) rest[k++] = item_elements.chars[i];
    rest[k++] = "LAST";
    const int result = call_list<A + I + 3>(entry, name_chars, rest);
    env->ReleaseStringUTFChars(name, name_chars);
    env->ReleaseStringUTFChars(action, action_chars);
    attribute_elements.release(env);
    item_elements.release(env);
    return result;
}

// The body must become a NUL-terminated copy whatever the caller: the limit
// allocates it as the method does.
template <std::size_t N>
int custom_request2_limit(JNIEnv* env, jstring name, jstring method, jobjectArray attributes, jbyteArray body) {
    static const ListEntry entry = list_entry("web_custom_request");
    reserve_local_refs(env, N);
    const char* name_chars = env->GetStringUTFChars(name, nullptr);
    const char* method_chars = env->GetStringUTFChars(method, nullptr);
    BorrowedElements<N> elements;
    elements.borrow(env, attributes);
    const jsize length = env->GetArrayLength(body);
    char* bytes = new char[static_cast<std::size_t>(length) + 1];
    bytes[length] = '\0';
    env->GetByteArrayRegion(body, 0, length, reinterpret_cast<jbyte*>(bytes));
    const char* rest[N + 3];
    rest[0] = method_chars;
    for (std::size_t i = 0; i < N; ++i) rest[1 + i] = elements.chars[i];
    rest[N + 1] = bytes;
    rest[N + 2] = "LAST";
    const int result = call_list<N + 3>(entry, name_chars, rest);
    env->ReleaseStringUTFChars(name, name_chars);
    env->ReleaseStringUTFChars(method, method_chars);
    elements.release(env);
    delete[] bytes;
    return result;
}

// No marker; the strings go back last first, then the elements.
template <std::size_t N>
int concurrent_start_limit(JNIEnv* env, jstring name, jobjectArray attributes, jstring last) {
    static const ListEntry entry = list_entry("web_concurrent_start");
    reserve_local_refs(env, N);
    const char* name_chars = env->GetStringUTFChars(name, nullptr);
    BorrowedElements<N> elements;
    elements.borrow(env, attributes);
    const char* last_chars = env->GetStringUTFChars(last, nullptr);
    const char* rest[N + 1];
    for (std::size_t i = 0; i < N; ++i) rest[i] = elements.chars[i];
    rest[N] = last_chars;
    const int result = call_list<N + 1>(entry, name_chars, rest);
    env->ReleaseStringUTFChars(last, last_chars);
    env->ReleaseStringUTFChars(name, name_chars);
    elements.release(env);
    return result;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_jwebbench_Baseline_empty(JNIEnv*, jclass) {}

JNIEXPORT jint JNICALL Java_jwebbench_Baseline_initialize(JNIEnv*, jclass) {
    static const FixedNone entry = engine_function<FixedNone>("InitWebVuser");
    return entry();
}

JNIEXPORT jint JNICALL Java_jwebbench_Baseline_setTimeout(JNIEnv* env, jclass, jstring category, jstring value) {
    static const FixedTwo entry = engine_function<FixedTwo>("web_set_timeout");
    const char* category_chars = env->GetStringUTFChars(category, nullptr);
    const char* value_chars = env->GetStringUTFChars(value, nullptr);
    const int result = entry(category_chars, value_chars);
    env->ReleaseStringUTFChars(category, category_chars);
    env->ReleaseStringUTFChars(value, value_chars);
    return result;
}

JNIEXPORT jint JNICALL Java_jwebbench_Baseline_url(JNIEnv* env, jclass, jstring name, jstring url,
                                                   jobjectArray attributes) {
    switch (env->GetArrayLength(attributes)) {
        case 0: return url_limit<0>(env, name, url, attributes);
        case 10: return url_limit<10>(env, name, url, attributes);
        case 100: return url_limit<100>(env, name, url, attributes);
        case 300: return url_limit<300>(env, name, url, attributes);
        case 1000: return url_limit<1000>(env, name, url, attributes);
        case 5000: return url_limit<5000>(env, name, url, attributes);
        default: return -1;
    }
}

JNIEXPORT jint JNICALL Java_jwebbench_Baseline_submitData(JNIEnv* env, jclass, jstring name, jstring action,
                                                          jobjectArray attributes, jobjectArray items) {
    const jsize attribute_count = env->GetArrayLength(attributes);
    const jsize item_count = env->GetArrayLength(items);
    if (attribute_count != 10) return -1;
    switch (item_count) {
        case 10: return submit_data_limit<10, 10>(env, name, action, attributes, items);
        case 300: return submit_data_limit<10, 300>(env, name, action, attributes, items);  // a 100-field form
        default: return -1;
    }
}

JNIEXPORT jint JNICALL Java_jwebbench_Baseline_customRequest2(JNIEnv* env, jclass, jstring name, jstring method,
                                                              jobjectArray attributes, jbyteArray body) {
    if (env->GetArrayLength(attributes) != 10) return -1;
    return custom_request2_limit<10>(env, name, method, attributes, body);
}

JNIEXPORT jint JNICALL Java_jwebbench_Baseline_concurrentStart(JNIEnv* env, jclass, jstring name,
                                                               jobjectArray attributes, jstring last) {
    if (env->GetArrayLength(attributes) != 10) return -1;
    return concurrent_start_limit<10>(env, name, attributes, last);
}

// The codecs' floor: the input's bytes borrowed and made into a new string
// as they are.
JNIEXPORT jstring JNICALL Java_jwebbench_Baseline_copy(JNIEnv* env, jclass, jstring text) {
    const char* chars = env->GetStringUTFChars(text, nullptr);
    jstring copy = env->NewStringUTF(chars);
    env->ReleaseStringUTFChars(text, chars);
    return copy;
}

}  // extern "C"
