// Which loaded object holds an address: the span of one, for the runtime's
// library, and the question asked in a fault handler.
#pragma once

#include <cstdint>

namespace jweb::platform {

struct AddressRange {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;  // past the end
    bool contains(std::uintptr_t address) const { return address >= low && address < high; }
};

// The span of the loaded object that holds `address`, from its lowest to its
// highest loadable segment; empty when none does. Not in a signal handler.
AddressRange object_span(std::uintptr_t address);

// Looks up glibc's _dl_find_object (2.35 and later) at run time, so that the
// library loads on older ones. Once, before any fault handler asks.
void prepare_object_lookup();

// Whether in_loaded_object can answer: false before glibc 2.35.
bool can_tell_loaded_objects();

// Whether `address` lies in a loaded object. Safe in a signal handler.
bool in_loaded_object(std::uintptr_t address);

}  // namespace jweb::platform
