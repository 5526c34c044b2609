// Lists longer than the typed calls reach go through libffi's variadic call,
// made for calls whose argument count is known only at run time. Its tables
// are built in the scratch the vector reserves after its slots, so nothing is
// allocated inside the guarded call.
#include "frame/result_codes.h"
#include "frame/variadic_call.h"

#include <ffi.h>

namespace jweb::variadic_detail {

extern "C" jint jweb_call_long_list(EngineEntry entry, std::size_t count, const char** vector) {
    // Scratch after the slots: the argument types, then pointers to the slots.
    void* scratch = vector + count;
    auto** types = static_cast<ffi_type**>(scratch);
    auto** values = reinterpret_cast<void**>(types + count);
    for (std::size_t i = 0; i < count; ++i) {
        types[i] = &ffi_type_pointer;
        values[i] = &vector[i];
    }
    ffi_cif cif;
    if (ffi_prep_cif_var(&cif, FFI_DEFAULT_ABI, 1, static_cast<unsigned>(count), &ffi_type_sint, types) != FFI_OK)
        return JWEB_ERR_CALL;
    ffi_arg result = 0;
    ffi_call(&cif, entry, &result, values);
    return static_cast<jint>(result);
}

}  // namespace jweb::variadic_detail
