#include "guard/linux/hotspot_code_cache.h"

#include <dlfcn.h>

#include <cstring>

namespace jweb::platform {

namespace {

// A field of one entry of HotSpot's structure table, at the offset the
// runtime exports for it.
template <class T>
T entry_field(const char* entry, std::uint64_t offset) {
    T value;
    std::memcpy(&value, entry + offset, sizeof value);
    return value;
}

}  // namespace

// The table is gHotSpotVMStructs, laid out as the gHotSpotVMStructEntry*
// symbols say, as debuggers and profilers read it.
CodeCacheBounds find_hotspot_code_cache(void* runtime) {
    const auto symbol = [runtime](const char* name) { return dlsym(runtime, name); };
    const auto* table = static_cast<const char* const*>(symbol("gHotSpotVMStructs"));
    const auto* type_offset = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryTypeNameOffset"));
    const auto* field_offset = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryFieldNameOffset"));
    const auto* static_offset = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryIsStaticOffset"));
    const auto* address_offset = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryAddressOffset"));
    const auto* stride = static_cast<const std::uint64_t*>(symbol("gHotSpotVMStructEntryArrayStride"));
    if (!table || !*table || !type_offset || !field_offset || !static_offset || !address_offset || !stride ||
        *stride == 0)
        return {};
    CodeCacheBounds bounds;
    for (const char* entry = *table;; entry += *stride) {
        const char* type = entry_field<const char*>(entry, *type_offset);
        if (type == nullptr) break;  // the table ends with an empty entry
        const char* field = entry_field<const char*>(entry, *field_offset);
        if (std::strcmp(type, "CodeCache") != 0 || field == nullptr ||
            entry_field<std::int32_t>(entry, *static_offset) == 0)
            continue;
        const auto* address = entry_field<const std::uintptr_t*>(entry, *address_offset);
        if (std::strcmp(field, "_low_bound") == 0) bounds.low = address;
        if (std::strcmp(field, "_high_bound") == 0) bounds.high = address;
    }
    if (bounds.low == nullptr || bounds.high == nullptr) return {};
    return bounds;
}

}  // namespace jweb::platform
