#include "guard/linux/loaded_objects.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstddef>

namespace jweb::platform {

namespace {

// Only whether an address lies in a loaded object is asked: the result goes
// to a buffer larger than any glibc's struct dl_find_object.
using FindObject = int (*)(void* address, void* result);
FindObject find_object = nullptr;

}  // namespace

AddressRange object_span(std::uintptr_t address) {
    struct Search {
        std::uintptr_t address;
        AddressRange found;
    } search{address, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* object, std::size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            AddressRange span{UINTPTR_MAX, 0};
            for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = object->dlpi_phdr[i];
                if (segment.p_type != PT_LOAD) continue;
                const std::uintptr_t low = object->dlpi_addr + segment.p_vaddr;
                span.low = std::min(span.low, low);
                span.high = std::max(span.high, low + segment.p_memsz);
            }
            if (!span.contains(s->address)) return 0;
            s->found = span;
            return 1;
        },
        &search);
    return search.found;
}

void prepare_object_lookup() { find_object = reinterpret_cast<FindObject>(dlsym(RTLD_DEFAULT, "_dl_find_object")); }

bool can_tell_loaded_objects() { return find_object != nullptr; }

bool in_loaded_object(std::uintptr_t address) {
    alignas(16) unsigned char found[256];
    return find_object(reinterpret_cast<void*>(address), found) == 0;
}

}  // namespace jweb::platform
