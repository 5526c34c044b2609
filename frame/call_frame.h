// The one frame every engine method runs:
//   entry check -> (lengths, vector) -> borrow in parameter order -> guarded
//   call -> release -> free -> Abort after the last release.
// Methods declare only their entry and their arguments, e.g.
//   call_fixed<"web_set_timeout">(env, name, value)
//   call_fixed<"URL", EntryCheck::after_borrowing>(env, Required{url})
//   call_list<"web_url">(env, Str{name}, Str{url}, Elements{attributes}, LAST)
#pragma once

#include <jni.h>

#include <cstddef>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "bridge/engine_entry_table.h"
#include "frame/arg_vector.h"
#include "frame/borrowed_string.h"
#include "frame/raise_abort.h"
#include "frame/result_codes.h"
#include "frame/variadic_call.h"
#include "guard/guard.h"

namespace jweb {

// ---------------------------------------------------------------------------
// Fixed argument lists: each Java parameter is one engine argument.

template <class Param>
struct FixedArg;

// A string the engine must not be given as null: the call is refused instead.
struct Required {
    jstring ref;
};

// A string, or a Required one. borrow() is false when the runtime handed out
// no bytes; present() is false when the call must not be made with them.
template <class Param>
requires std::is_same_v<Param, jstring> || std::is_same_v<Param, Required>
struct FixedArg<Param> {
    jstring ref;
    const char* chars = nullptr;

    explicit FixedArg(jstring string) : ref(string) {}
    explicit FixedArg(Required required) : ref(required.ref) {}
    bool borrow(JNIEnv* env) {
        bool failed = false;
        chars = borrow_string(env, ref, failed);
        return !failed;
    }
    void release(JNIEnv* env) const { release_string(env, ref, chars); }
    bool present() const { return !std::is_same_v<Param, Required> || chars != nullptr; }
    const char* value() const { return chars; }
};

template <>
struct FixedArg<jint> {
    jint number;

    bool borrow(JNIEnv*) { return true; }
    void release(JNIEnv*) const {}
    static constexpr bool present() { return true; }
    jint value() const { return number; }
};

// The guarded call of an entry, out of the method's template, which an entry's
// name parameterises: its frames are then named by types alone, which
// profilers' demanglers read.
template <class Function, class... Values>
[[gnu::always_inline]] inline bool call_entry(JNIEnv* env, Function function, jint& result, Values... values) {
    return call_guarded(
        env, [function, values...] { return function(values...); }, result);
}

// When a fixed-list method looks at its entry: before it borrows anything
// (every method but one), or once its strings are borrowed (the older URL
// step, whose callers may rely on the runtime's error for a string it cannot
// hand out even when no engine is bound).
enum class EntryCheck { before_borrowing, after_borrowing };

// Inlined into each method, whose frame then carries the method's plain name.
template <EntryName Entry, EntryCheck Check = EntryCheck::before_borrowing, class... Params>
[[gnu::always_inline]] inline jint call_fixed(JNIEnv* env, Params... params) {
    EngineEntry entry = nullptr;
    if constexpr (Check == EntryCheck::before_borrowing) {
        entry = engine_entry<Entry>();
        if (entry == nullptr) return JWEB_ERR_CALL;
    }

    std::tuple<FixedArg<Params>...> args{FixedArg<Params>{params}...};
    const bool borrowed = std::apply([env](auto&... arg) { return (arg.borrow(env) && ...); }, args);

    jint result = JWEB_ERR_NOMEM;
    bool called = true;
    if (borrowed) {
        result = JWEB_ERR_CALL;
        if constexpr (Check == EntryCheck::after_borrowing) entry = engine_entry<Entry>();
        using Function = EngineFunction<jint, decltype(std::declval<FixedArg<Params>>().value())...>;
        const auto function = reinterpret_cast<Function>(entry);
        const bool present = std::apply([](const auto&... arg) { return (arg.present() && ...); }, args);
        if (function != nullptr && present)
            called = std::apply([env, function, &result](
                                    const auto&... arg) { return call_entry(env, function, result, arg.value()...); },
                                args);
    }
    std::apply([env](const auto&... arg) { (arg.release(env), ...); }, args);
    if (!called) raise_abort(env);
    return result;
}

// ---------------------------------------------------------------------------
// Open lists: the parts of the list in argument order. Each part knows how
// many slots it fills, how to fill them and how to give back what it took.

// One Java string: one slot.
struct Str {
    jstring ref;
    const char* chars = nullptr;
};

// The elements of a Java string array, one slot each, none for a null or
// empty array; with NullWhenEmpty, a single null slot stands in for none.
template <bool NullWhenEmpty>
struct ArrayElements {
    jobjectArray ref;
    std::size_t length = 0;
    std::size_t first_slot = 0;
    std::size_t borrowed = 0;
    jstring* refs = nullptr;
};
using Elements = ArrayElements<false>;
using ElementsOrNull = ArrayElements<true>;

// A Java byte array passed as one NUL-terminated copy of its bytes; no slot
// when the reference is null.
struct Body {
    jbyteArray ref;
    char* bytes = nullptr;
};

struct Marker {
    const char* text;
};
inline constexpr Marker LAST{marker_last};
inline constexpr Marker ENDFORM{marker_endform};
inline constexpr Marker ITEMDATA{marker_itemdata};

// How the borrowed strings are given back: every list releases its strings
// before its arrays; the concurrent groups release their strings last first.
enum class ReleaseOrder { strings_in_order, strings_last_first };

namespace list_detail {

// Plain pointers into the method's own state, never copies of it: copying the
// vector or the room here costs the compiler two stores and a wide reload,
// which the processor cannot forward, on every call.
struct Filling {
    JNIEnv* env;
    const char** slots;
    jstring* element_refs;
    LocalRefRoom* local_refs;
    std::size_t next_slot = 0;
    std::size_t next_ref = 0;
};

// Lengths, read in parameter order before anything is allocated.
inline void measure(JNIEnv*, const Str&) {}
inline void measure(JNIEnv*, const Body&) {}  // read when the body is built
inline void measure(JNIEnv*, const Marker&) {}
template <bool N>
void measure(JNIEnv* env, ArrayElements<N>& part) {
    if (part.ref != nullptr) part.length = static_cast<std::size_t>(env->GetArrayLength(part.ref));
}

inline std::size_t slot_count(const Str&) { return 1; }
inline std::size_t slot_count(const Body& part) { return part.ref != nullptr ? 1 : 0; }
inline std::size_t slot_count(const Marker&) { return 1; }
template <bool NullWhenEmpty>
std::size_t slot_count(const ArrayElements<NullWhenEmpty>& part) {
    return NullWhenEmpty && part.length == 0 ? 1 : part.length;
}

template <class Part>
std::size_t element_count(const Part&) {
    return 0;
}
template <bool N>
std::size_t element_count(const ArrayElements<N>& part) {
    return part.length;
}

// Filling stops at the first part that cannot be had (false): a string the
// runtime handed out no bytes for, or a body that could not be allocated.
inline bool fill(Filling& f, Str& part) {
    bool failed = false;
    part.chars = borrow_string(f.env, part.ref, failed);
    f.slots[f.next_slot++] = part.chars;
    return !failed;
}
inline bool fill(Filling& f, const Marker& part) {
    f.slots[f.next_slot++] = part.text;
    return true;
}
template <bool NullWhenEmpty>
bool fill(Filling& f, ArrayElements<NullWhenEmpty>& part) {
    if (part.length == 0) {
        if (NullWhenEmpty) f.slots[f.next_slot++] = nullptr;
        return true;
    }
    part.first_slot = f.next_slot;
    part.refs = f.element_refs + f.next_ref;
    part.borrowed =
        borrow_array_elements(f.env, part.ref, f.slots, part.first_slot, part.length, part.refs, *f.local_refs);
    f.next_slot += part.length;
    f.next_ref += part.length;
    return part.borrowed == part.length;
}
inline bool fill(Filling& f, Body& part) {
    if (part.ref == nullptr) return true;
    const jsize length = f.env->GetArrayLength(part.ref);
    part.bytes = new (std::nothrow) char[static_cast<std::size_t>(length) + 1];
    if (part.bytes == nullptr) return false;
    part.bytes[length] = '\0';
    f.env->GetByteArrayRegion(part.ref, 0, length, reinterpret_cast<jbyte*>(part.bytes));
    f.slots[f.next_slot++] = part.bytes;
    return true;
}

template <class Part>
void release_own_string(JNIEnv*, const ArgVector&, const Part&) {}
inline void release_own_string(JNIEnv* env, const ArgVector&, const Str& part) {
    release_string(env, part.ref, part.chars);
}

template <class Part>
void release_elements(JNIEnv*, const ArgVector&, const Part&) {}
template <bool N>
void release_elements(JNIEnv* env, const ArgVector& vector, const ArrayElements<N>& part) {
    if (part.borrowed != 0) release_array_elements(env, vector.slots, part.first_slot, part.borrowed, part.refs);
}

template <class Part>
void discard(const Part&) {}
inline void discard(const Body& part) { delete[] part.bytes; }

template <ReleaseOrder Order, class Tuple, std::size_t... I>
void release_all(JNIEnv* env, const ArgVector& vector, const Tuple& parts, std::index_sequence<I...>) {
    constexpr std::size_t last = sizeof...(I) - 1;
    if constexpr (Order == ReleaseOrder::strings_in_order)
        (release_own_string(env, vector, std::get<I>(parts)), ...);
    else
        (release_own_string(env, vector, std::get<last - I>(parts)), ...);
    (release_elements(env, vector, std::get<I>(parts)), ...);
}

// A list that closes with a marker may be passed with padding after it; the
// concurrent groups, which close with the caller's last string, may not.
template <class... Parts>
constexpr ListEnd list_end() {
    using Last = std::tuple_element_t<sizeof...(Parts) - 1, std::tuple<Parts...>>;
    return std::is_same_v<Last, Marker> ? ListEnd::marker : ListEnd::exact;
}

// The variadic call as the guard runs it; the guard gets one pointer to it.
template <ListEnd End>
struct ListCall {
    EngineEntry entry;
    std::size_t count;
    const char** slots;

    jint operator()() const { return call_variadic_entry(entry, count, slots, End); }
};

// As call_entry: out of the method's template.
template <ListEnd End>
[[gnu::always_inline]] inline bool call_list_entry(JNIEnv* env, const ListCall<End>& call, jint& result) {
    return call_guarded(
        env, [&call] { return call(); }, result);
}

}  // namespace list_detail

// Lists with up to this many array elements keep the elements' references on
// the stack, so that only the slots are malloc'ed: up to about 1 KB glibc
// serves a block from its per-thread cache, while a larger request first
// merges every small chunk freed since, among them the Java runtime's copies
// of the last call's strings.
inline constexpr std::size_t element_refs_on_stack = 128;
// Lists of up to this many arguments (which need no scratch after their
// slots) keep the slots on the stack too, and allocate nothing: a malloc and
// a free were a third of a short list's own cost.
inline constexpr std::size_t slots_on_stack = typed_call_limit;
static_assert(variadic_scratch_words(slots_on_stack, ListEnd::marker) == 0 && slots_on_stack <= element_refs_on_stack);

// Inlined into each method, which is its only caller: the parts then live in
// registers and the method's own frame instead of being copied to a callee.
template <EntryName Entry, ReleaseOrder Order = ReleaseOrder::strings_in_order, class... Parts>
[[gnu::always_inline]] inline jint call_list(JNIEnv* env, Parts... parts) {
    using namespace list_detail;
    const EngineEntry entry = engine_entry<Entry>();
    if (entry == nullptr) return JWEB_ERR_CALL;

    (measure(env, parts), ...);
    const std::size_t arguments = (slot_count(parts) + ...);
    const std::size_t elements = (element_count(parts) + ... + 0);
    LocalRefRoom local_refs;
    if (!open_local_refs(env, local_refs, elements)) return JWEB_ERR_NOMEM;
    jstring stack_refs[element_refs_on_stack];
    const char* stack_slots[slots_on_stack];
    const bool refs_on_stack = elements <= element_refs_on_stack;
    const bool vector_on_stack = arguments <= slots_on_stack;
    constexpr ListEnd end = list_end<Parts...>();
    ArgVector vector = vector_on_stack ? ArgVector{stack_slots, stack_refs}
                                       : allocate_arg_vector(arguments, refs_on_stack ? 0 : elements, end);
    if (vector.slots == nullptr) return JWEB_ERR_NOMEM;
    if (refs_on_stack) vector.element_refs = stack_refs;

    Filling filling{env, vector.slots, vector.element_refs, &local_refs};
    const bool filled = (fill(filling, parts) && ...);

    jint result = JWEB_ERR_NOMEM;
    bool called = true;
    if (filled) {
        result = JWEB_ERR_CALL;
        const ListCall<end> call{entry, arguments, vector.slots};
        called = call_list_entry(env, call, result);
    }
    release_all<Order>(env, vector, std::forward_as_tuple(parts...), std::index_sequence_for<Parts...>{});
    close_local_refs(env, local_refs);
    if (!vector_on_stack) free_arg_vector(vector);
    (discard(parts), ...);
    if (!called) raise_abort(env);
    return result;
}

}  // namespace jweb
