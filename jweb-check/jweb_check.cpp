// jweb-check [ENGINE]: loads an engine module the way a host does, binds it
// with the library's own code, and tells which of the 48 entries it exports
// and which Java methods would therefore return -55555. Exit status: 0 when
// every method can reach the engine, 1 when any cannot, 2 when the module
// cannot be loaded at all. jweb-check --version: its version and the
// library's whose code it runs, exit status 0.
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "bridge/engine_entry_table.h"
#include "bridge/engine_module.h"
#include "bridge/library_version.h"
#include "engine_loading.h"
#include "frame/result_codes.h"
#include "jweb_version.h"
#include "method_text.h"

namespace {

using jweb::engine_entry_names;
using jweb::engine_slot_count;
using jweb::method_table;

enum Status { all_reach_the_engine = 0, some_cut_off = 1, not_loaded = 2 };

// Each method's engine slot, found at compile time; engine_slot_count for
// the text utilities, which call none.
consteval std::array<std::size_t, method_table.size()> slots_of_methods() {
    std::array<std::size_t, method_table.size()> slots{};
    for (std::size_t i = 0; i < method_table.size(); ++i)
        slots[i] = method_table[i].entry != nullptr ? jweb::slot_of(method_table[i].entry) : engine_slot_count;
    return slots;
}
constexpr auto method_slots = slots_of_methods();

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: jweb-check [ENGINE]\n"
                 "       jweb-check --version\n"
                 "Loads the engine module ENGINE (a path, or a file name the loader looks up;\n"
                 "default %s, as a host would find it through %s),\n"
                 "lists which of the %zu entries it exports, and which methods of tsapi.web\n"
                 "would return %d because their entry is missing.\n"
                 "Exit status: 0 all present, 1 something missing, 2 the module cannot be loaded.\n",
                 jweb::engine_module_name, jweb::check::engine_search_path, engine_slot_count,
                 static_cast<int>(jweb::JWEB_ERR_CALL));
}

// Whether the library finds the module by its name, as it does in a host.
void report_lookup(const jweb::check::LoadedEngine& engine) {
    std::printf("engine module: %s\n", engine.file.c_str());
    if (jweb::find_loaded_engine_module() == engine.module) {
        std::printf("the library finds it under the name %s\n", jweb::engine_module_name);
    } else {
        std::printf(
            "the library does NOT find it: it looks for a loaded module named %s, and this one is\n"
            "known as %s; every engine method would return %d\n",
            jweb::engine_module_name, engine.known_as.c_str(), static_cast<int>(jweb::JWEB_ERR_CALL));
    }
}

void report_entries(void* module) {
    std::array<bool, engine_slot_count> exported{};
    std::size_t count = 0;
    for (std::size_t slot = 0; slot < engine_slot_count; ++slot) {
        exported[slot] = jweb::find_engine_entry(module, engine_entry_names[slot]) != nullptr;
        count += exported[slot];
    }
    std::printf("\nentries: %zu of %zu exported\n", count, engine_slot_count);
    for (std::size_t slot = 0; slot < engine_slot_count; ++slot)
        std::printf("  %2zu  %-30s %s\n", slot, engine_entry_names[slot], exported[slot] ? "exported" : "MISSING");
}

// A method is cut off when its slot is empty in the library's bound table.
Status report_methods() {
    std::size_t engine_methods = 0;
    std::size_t cut_off = 0;
    std::string lines;
    for (std::size_t i = 0; i < method_table.size(); ++i) {
        if (method_slots[i] == engine_slot_count) continue;
        ++engine_methods;
        if (jweb::engine_entry_table.entries[method_slots[i]] != nullptr) continue;
        ++cut_off;
        lines +=
            "  " + jweb::method_text::java_declaration(method_table[i]) + "  needs " + method_table[i].entry + "\n";
    }
    if (cut_off == 0) {
        std::printf("\nmethods: all %zu engine methods reach the engine; the %zu text utilities need none\n",
                    engine_methods, method_table.size() - engine_methods);
        return all_reach_the_engine;
    }
    std::printf("\nmethods that would return %d (%zu of %zu engine methods):\n%s",
                static_cast<int>(jweb::JWEB_ERR_CALL), cut_off, engine_methods, lines.c_str());
    return some_cut_off;
}

}  // namespace

int main(int argc, char** argv) {
    const bool help = argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0);
    if (argc > 2 || help) {
        usage(help ? stdout : stderr);
        return help ? 0 : 2;
    }
    // The verdict is that of the library code linked in here: its version is
    // the one a host must run for the verdict to hold.
    std::printf("jweb-check %s\nverdicts of the lookup and binding of %s\n", JWEB_VERSION, jweb::library_version);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return 0;
    const char* requested = argc == 2 ? argv[1] : jweb::engine_module_name;

    jweb::check::LoadedEngine engine;
    std::string error;
    if (!jweb::check::load_engine(requested, engine, error)) {
        std::printf("engine module %s cannot be loaded:\n  %s\n", requested, error.c_str());
        if (argc == 1)
            std::printf("Give its path (jweb-check path/to/%s), or put its folder on %s.\n", jweb::engine_module_name,
                        jweb::check::engine_path_variable);
        return not_loaded;
    }
    report_lookup(engine);
    jweb::bind_engine();  // the library's own binding, as when a host loads it after the engine
    report_entries(engine.module);
    return report_methods();
}
