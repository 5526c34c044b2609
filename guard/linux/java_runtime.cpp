#include "guard/linux/java_runtime.h"

#include <dlfcn.h>

namespace jweb::platform {

JavaRuntimeCode find_java_runtime_code(const void* jni_functions) {
    Dl_info info{};
    if (jni_functions == nullptr || dladdr(jni_functions, &info) == 0) return {};
    JavaRuntimeCode code;
    code.library = object_span(reinterpret_cast<std::uintptr_t>(jni_functions));
    // A reference kept for good: the bounds are read at every fault.
    if (void* runtime = info.dli_fname != nullptr ? dlopen(info.dli_fname, RTLD_NOLOAD | RTLD_LAZY) : nullptr)
        code.code_cache = find_hotspot_code_cache(runtime);
    return code;
}

}  // namespace jweb::platform
