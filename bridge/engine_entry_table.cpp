#include "bridge/engine_entry_table.h"

#include "bridge/engine_module.h"

namespace jweb {

constinit EngineEntryTable engine_entry_table{};

void bind_engine() {
    if (engine_entry_table.module != nullptr) return;
    engine_entry_table.module = find_loaded_engine_module();
    if (engine_entry_table.module == nullptr) return;
    for (std::size_t slot = 0; slot < engine_slot_count; ++slot)
        engine_entry_table.entries[slot] = find_engine_entry(engine_entry_table.module, engine_entry_names[slot]);
}

}  // namespace jweb
