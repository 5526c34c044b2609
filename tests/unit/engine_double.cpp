#include "engine_double.h"

#include <cstdarg>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "bridge/engine_entry_table.h"
#include "methods/method_table.h"
#include "tests/unit/support/processor_faults.h"

namespace engine_double {
namespace {

std::vector<Call> recorded;
int next_result = 0;
Failure next_failure = Failure::none;
void (*next_hook)(void*) = nullptr;
void* next_hook_context = nullptr;
std::size_t list_length = 0;

struct Unrelated {
    int code;
};

Argument argument(const char* s) { return s ? Argument(s) : std::nullopt; }

void record(std::size_t slot, std::vector<Argument> arguments) {
    recorded.push_back({jweb::engine_entry_names[slot], std::move(arguments)});
}

// Ends a call that was recorded. Nothing that owns memory may be alive in the
// caller here: a fault leaves by a jump that runs no destructors.
int outcome() {
    if (auto hook = std::exchange(next_hook, nullptr)) hook(next_hook_context);
    const Failure failure = std::exchange(next_failure, Failure::none);
    switch (failure) {
        case Failure::throw_int: throw 7;
        case Failure::throw_runtime_error: throw std::runtime_error("engine failure");
        case Failure::throw_unrelated: throw Unrelated{3};
        case Failure::segv: return processor_faults::read_null_pointer();
        case Failure::fpe: return processor_faults::divide_by_zero();
        case Failure::none: break;
    }
    return next_result;
}

template <std::size_t Slot>
int one_int(int value) {
    record(Slot, {std::to_string(value)});
    return outcome();
}

template <std::size_t Slot, class... Strings>
int strings(Strings... s) {
    record(Slot, {argument(s)...});
    return outcome();
}

// The C signature a list of the table's layout needs: a fixed number of
// strings, one int, or an open list read up to its closing marker (or, with
// none, to the length the test expects).
struct Shape {
    std::size_t strings = 0;
    std::size_t ints = 0;
    bool open = false;
    std::string_view end;  // the closing marker of an open list

    constexpr bool operator==(const Shape&) const = default;
};

constexpr Shape shape_of(std::string_view layout) {
    Shape shape;
    for (const jweb::method_layout::Token token : jweb::method_layout::tokens(layout)) {
        shape.strings += token.kind == jweb::method_layout::Kind::string;
        shape.ints += token.kind == jweb::method_layout::Kind::integer;
        shape.open = shape.open || token.is_elements();
        shape.end = token.is_marker() ? token.word : std::string_view();
    }
    if (shape.open) shape.strings = shape.ints = 0;
    return shape;
}

// The shape of the entry's first row in the table.
constexpr Shape shape_of_entry(std::string_view entry) {
    for (const jweb::MethodRow& row : jweb::method_table)
        if (row.entry != nullptr && entry == row.entry) return shape_of(row.layout);
    return {};
}

// Every row of an entry hands it a list of one shape, so one stand-in fits all.
constexpr bool rows_of_an_entry_agree() {
    for (const jweb::MethodRow& row : jweb::method_table)
        if (row.entry != nullptr && shape_of(row.layout) != shape_of_entry(row.entry)) return false;
    return true;
}
static_assert(rows_of_an_entry_agree(), "two methods of one engine entry pass it lists of different shapes");

template <std::size_t Slot>
int open_list(const char* first, ...) {
    constexpr std::string_view end = shape_of_entry(jweb::engine_entry_names[Slot]).end;
    std::vector<Argument> arguments{argument(first)};
    va_list rest;
    va_start(rest, first);
    if (end.empty()) {
        while (arguments.size() < list_length) arguments.push_back(argument(va_arg(rest, const char*)));
    } else {
        for (const char* s = first; s == nullptr || end != s;) {
            s = va_arg(rest, const char*);
            arguments.push_back(argument(s));
        }
    }
    va_end(rest);
    record(Slot, std::move(arguments));  // leaves nothing owned behind
    return outcome();
}

template <std::size_t>
using CString = const char*;

template <std::size_t Slot, std::size_t... String>
jweb::EngineEntry strings_entry(std::index_sequence<String...>) {
    return reinterpret_cast<jweb::EngineEntry>(&strings<Slot, CString<String>...>);
}

template <std::size_t Slot>
jweb::EngineEntry shaped() {
    constexpr Shape shape = shape_of_entry(jweb::engine_entry_names[Slot]);
    static_assert(shape.open || shape.ints == 0 || (shape.ints == 1 && shape.strings == 0),
                  "a fixed list mixes an int with strings");
    if constexpr (shape.open)
        return reinterpret_cast<jweb::EngineEntry>(&open_list<Slot>);
    else if constexpr (shape.ints == 1)
        return reinterpret_cast<jweb::EngineEntry>(&one_int<Slot>);
    else
        return strings_entry<Slot>(std::make_index_sequence<shape.strings>{});
}

template <std::size_t... Slot>
void bind_each(std::index_sequence<Slot...>) {
    ((jweb::engine_entry_table.entries[Slot] = shaped<Slot>()), ...);
}

}  // namespace

void bind_all() { bind_each(std::make_index_sequence<jweb::engine_slot_count>{}); }

void unbind_all() {
    for (auto& entry : jweb::engine_entry_table.entries) entry = nullptr;
}

void unbind(const char* entry) {
    for (std::size_t slot = 0; slot < jweb::engine_slot_count; ++slot)
        if (std::strcmp(jweb::engine_entry_names[slot], entry) == 0) jweb::engine_entry_table.entries[slot] = nullptr;
}

void set_result(int result) { next_result = result; }
void fail_next_call(Failure failure) { next_failure = failure; }
void call_back_next(void (*hook)(void*), void* context) {
    next_hook = hook;
    next_hook_context = context;
}
void expect_list_length(std::size_t length) { list_length = length; }
const std::vector<Call>& calls() { return recorded; }

void clear() {
    recorded.clear();
    next_result = 0;
    next_failure = Failure::none;
    next_hook = nullptr;
    list_length = 0;
}

}  // namespace engine_double
