// Hand-written JNI functions that set the floor the library's methods are
// measured against: the same JNI calls, a direct call, no frame and no guard.
#include <dlfcn.h>
#include <jni.h>

namespace {

using UrlEntry = int (*)(const char*, ...);

UrlEntry web_url_entry() {
    static UrlEntry entry = [] {
        void* engine = dlopen("libTswReplayMain.so", RTLD_NOLOAD | RTLD_LAZY);
        return engine ? reinterpret_cast<UrlEntry>(dlsym(engine, "web_url")) : nullptr;
    }();
    return entry;
}

}  // namespace

extern "C" JNIEXPORT void JNICALL Java_jwebbench_Baseline_empty(JNIEnv*, jclass) {}

// web_url with two strings and exactly ten attributes: each element fetched
// once, every string borrowed, one direct call, everything released.
extern "C" JNIEXPORT jint JNICALL Java_jwebbench_Baseline_url10(JNIEnv* env, jclass, jstring name, jstring url,
                                                                jobjectArray attributes) {
    constexpr int n = 10;
    if (env->GetArrayLength(attributes) != n) return -1;
    const char* s1 = env->GetStringUTFChars(name, nullptr);
    const char* s2 = env->GetStringUTFChars(url, nullptr);
    jstring refs[n];
    const char* a[n];
    for (int i = 0; i < n; ++i) {
        refs[i] = static_cast<jstring>(env->GetObjectArrayElement(attributes, i));
        a[i] = env->GetStringUTFChars(refs[i], nullptr);
    }
    const int result = web_url_entry()(s1, s2, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], "LAST");
    env->ReleaseStringUTFChars(name, s1);
    env->ReleaseStringUTFChars(url, s2);
    for (int i = 0; i < n; ++i) env->ReleaseStringUTFChars(refs[i], a[i]);
    return result;
}
