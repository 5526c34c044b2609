// jweb-check [ENGINE]: loads an engine module the way a host does, binds it
// with the library's own code, and tells which of the 48 entries it exports
// and which Java methods would therefore return -55555. Exit status: 0 when
// every method can reach the engine, 1 when any cannot, 2 when the module
// cannot be loaded at all. jweb-check --version: its version and the
// library's whose code it runs, exit status 0.
#include <dlfcn.h>
#include <link.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "bridge/engine_entry_table.h"
#include "bridge/engine_module.h"
#include "bridge/library_version.h"
#include "frame/result_codes.h"
#include "jweb_version.h"
#include "method_text.h"

namespace {

using jweb::engine_entry_names;
using jweb::engine_entry_table;
using jweb::engine_slot_count;
using jweb::method_table;

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: jweb-check [ENGINE]\n"
                 "       jweb-check --version\n"
                 "Loads the engine module ENGINE (a path, or a file name the dynamic loader looks\n"
                 "up; default %s, as a host would find it through LD_LIBRARY_PATH and the\n"
                 "loader's cache), lists which of the %zu entries it exports, and which methods of\n"
                 "tsapi.web would return %d because their entry is missing.\n"
                 "Exit status: 0 all present, 1 something missing, 2 the module cannot be loaded.\n",
                 jweb::engine_module_name, engine_slot_count, jweb::JWEB_ERR_CALL);
}

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

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0))) {
        usage(argc > 2 ? stderr : stdout);
        return argc > 2 ? 2 : 0;
    }
    // The verdict is that of the library code linked in here: its version is
    // the one a host must run for the verdict to hold.
    std::printf("jweb-check %s\nverdicts of the lookup and binding of %s\n", JWEB_VERSION, jweb::library_version);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return 0;
    const char* requested = argc == 2 ? argv[1] : jweb::engine_module_name;

    // As the JVM's System.load does; the engine's own initialisation runs.
    void* module = dlopen(requested, RTLD_LAZY);
    if (module == nullptr) {
        std::printf("engine module %s cannot be loaded:\n  %s\n", requested, dlerror());
        if (argc == 1)
            std::printf("Give its path (jweb-check /path/to/%s), or put its folder on LD_LIBRARY_PATH.\n",
                        jweb::engine_module_name);
        return 2;
    }
    link_map* map = nullptr;
    dlinfo(module, RTLD_DI_LINKMAP, &map);
    const std::string file = map != nullptr && map->l_name[0] != '\0' ? map->l_name : requested;
    std::printf("engine module: %s\n", file.c_str());

    // The library's own lookup and binding, as they run when a host loads it
    // after the engine.
    const bool found = jweb::find_loaded_engine_module() == module;
    jweb::bind_engine();
    if (found) {
        std::printf("the library finds it under the name %s\n", jweb::engine_module_name);
    } else {
        const std::string soname = map != nullptr ? soname_of(map) : "";
        std::printf(
            "the library does NOT find it: it looks for a loaded module named %s, and this one is\n"
            "known as %s; every engine method would return %d\n",
            jweb::engine_module_name, soname.empty() ? file.c_str() : soname.c_str(), jweb::JWEB_ERR_CALL);
    }

    std::size_t exported = 0;
    for (std::size_t slot = 0; slot < engine_slot_count; ++slot)
        exported += jweb::find_engine_entry(module, engine_entry_names[slot]) != nullptr;
    std::printf("\nentries: %zu of %zu exported\n", exported, engine_slot_count);
    for (std::size_t slot = 0; slot < engine_slot_count; ++slot) {
        const bool has = jweb::find_engine_entry(module, engine_entry_names[slot]) != nullptr;
        std::printf("  %2zu  %-30s %s\n", slot, engine_entry_names[slot], has ? "exported" : "MISSING");
    }

    // A method is cut off when its slot is empty in the library's table.
    std::size_t cut_off = 0;
    std::string lines;
    for (const jweb::MethodRow& row : method_table) {
        if (row.entry == nullptr) continue;
        std::size_t slot = 0;
        while (std::string_view(engine_entry_names[slot]) != row.entry) ++slot;
        if (engine_entry_table.entries[slot] != nullptr) continue;
        ++cut_off;
        lines += "  " + jweb::method_text::java_declaration(row) + "  needs " + row.entry + "\n";
    }
    std::size_t engine_methods = 0;
    for (const jweb::MethodRow& row : method_table) engine_methods += row.entry != nullptr;
    if (cut_off == 0) {
        std::printf("\nmethods: all %zu engine methods reach the engine; the %zu text utilities need none\n",
                    engine_methods, method_table.size() - engine_methods);
        return 0;
    }
    std::printf("\nmethods that would return %d (%zu of %zu engine methods):\n%s", jweb::JWEB_ERR_CALL, cut_off,
                engine_methods, lines.c_str());
    return 1;
}
