#include "platform/linux/java_runtime.h"

#include <dlfcn.h>

namespace jweb::platform {

JavaRuntimeCode find_java_runtime_code() {
    void* entry = dlsym(RTLD_DEFAULT, "JNI_CreateJavaVM");
    if (entry == nullptr) {
        if (void* by_name = dlopen("libjvm.so", RTLD_NOLOAD | RTLD_LAZY)) {
            entry = dlsym(by_name, "JNI_CreateJavaVM");
            dlclose(by_name);
        }
    }
    Dl_info info{};
    if (entry == nullptr || dladdr(entry, &info) == 0) return {};
    JavaRuntimeCode code;
    code.library = object_span(reinterpret_cast<std::uintptr_t>(entry));
    // A reference kept for good: the bounds are read at every fault.
    if (void* runtime = info.dli_fname != nullptr ? dlopen(info.dli_fname, RTLD_NOLOAD | RTLD_LAZY) : nullptr)
        code.code_cache = find_hotspot_code_cache(runtime);
    return code;
}

}  // namespace jweb::platform
