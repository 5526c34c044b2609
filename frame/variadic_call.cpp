#include "frame/variadic_call.h"

#include <ffi.h>

#include <array>
#include <utility>

#include "frame/result_codes.h"

namespace jweb {

namespace {

using VariadicEntry = int (*)(const char*, ...);
using TypedCall = jint (*)(VariadicEntry, const char* const*);

template <std::size_t... I>
jint call_with(VariadicEntry entry, const char* const* args, std::index_sequence<0, I...>) {
    return entry(args[0], args[I]...);
}

template <std::size_t Count>
jint typed_call(VariadicEntry entry, const char* const* args) {
    return call_with(entry, args, std::make_index_sequence<Count>{});
}

template <std::size_t... Count>
constexpr std::array<TypedCall, sizeof...(Count) + 1> make_typed_calls(std::index_sequence<0, Count...>) {
    return {nullptr, &typed_call<Count>...};
}

// typed_calls[n] calls with n arguments, for 1 <= n <= typed_call_limit.
constexpr auto typed_calls = make_typed_calls(std::make_index_sequence<typed_call_limit + 1>{});

jint call_through_ffi(EngineEntry entry, std::size_t count, const char** vector) {
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

}  // namespace

jint call_variadic_entry(EngineEntry entry, std::size_t count, const char** vector) {
    if (entry == nullptr) return JWEB_ERR_CALL;
    if (count <= typed_call_limit)
        return typed_calls[count](reinterpret_cast<VariadicEntry>(entry), vector);
    return call_through_ffi(entry, count, vector);
}

}  // namespace jweb
