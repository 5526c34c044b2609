#include <dlfcn.h>
#include <link.h>

#include "engine_loading.h"

namespace jweb::check {

const char engine_search_path[] = "LD_LIBRARY_PATH and the loader's cache";
const char engine_path_variable[] = "LD_LIBRARY_PATH";

namespace {

// The module's soname, the name the dynamic loader knows it by; "" if none.
std::string soname_of(const link_map* map) {
    const char* strings = nullptr;
    const ElfW(Dyn)* soname = nullptr;
    for (const ElfW(Dyn)* d = map->l_ld; d->d_tag != DT_NULL; ++d) {
        if (d->d_tag == DT_STRTAB) strings = reinterpret_cast<const char*>(d->d_un.d_ptr);
        if (d->d_tag == DT_SONAME) soname = d;
    }
    return strings != nullptr && soname != nullptr ? strings + soname->d_un.d_val : "";
}

}  // namespace

bool load_engine(const char* requested, LoadedEngine& engine, std::string& error) {
    engine.module = dlopen(requested, RTLD_LAZY);  // as the JVM's System.load does
    if (engine.module == nullptr) {
        error = dlerror();
        return false;
    }
    link_map* map = nullptr;
    dlinfo(engine.module, RTLD_DI_LINKMAP, &map);
    engine.file = map != nullptr && map->l_name[0] != '\0' ? map->l_name : requested;
    engine.known_as = map != nullptr ? soname_of(map) : "";
    if (engine.known_as.empty()) engine.known_as = engine.file;
    return true;
}

}  // namespace jweb::check
