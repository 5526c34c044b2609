#include "engine_double.h"

#include <cstdarg>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "bridge/engine_entry_table.h"
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
int no_argument() {
    record(Slot, {});
    return outcome();
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

bool is_marker(const char* s) { return s && (std::strcmp(s, "LAST") == 0 || std::strcmp(s, "ENDFORM") == 0); }

template <std::size_t Slot>
int open_list(const char* first, ...) {
    std::vector<Argument> arguments{argument(first)};
    const bool counted = std::string_view(jweb::engine_entry_names[Slot]).starts_with("web_concurrent");
    va_list rest;
    va_start(rest, first);
    if (counted) {
        while (arguments.size() < list_length) arguments.push_back(argument(va_arg(rest, const char*)));
    } else {
        for (const char* s = first; !is_marker(s);) {
            s = va_arg(rest, const char*);
            arguments.push_back(argument(s));
        }
    }
    va_end(rest);
    record(Slot, std::move(arguments));  // leaves nothing owned behind
    return outcome();
}

template <std::size_t Slot>
jweb::EngineEntry shaped() {
    using std::string_view;
    constexpr string_view name = jweb::engine_entry_names[Slot];
    constexpr auto any = [](std::initializer_list<string_view> names) {
        for (string_view n : names)
            if (n == name) return true;
        return false;
    };
    using E = jweb::EngineEntry;
    using S = const char*;
    if constexpr (any({"InitWebVuser", "TerminateWebVuser", "web_cleanup_cookies", "web_disable_keep_alive",
                       "web_enable_keep_alive", "web_cache_cleanup"}))
        return reinterpret_cast<E>(&no_argument<Slot>);
    else if constexpr (name == "web_get_int_property")
        return reinterpret_cast<E>(&one_int<Slot>);
    else if constexpr (any({"URL", "web_set_max_html_param_len", "web_set_proxy", "web_set_secure_proxy",
                            "web_set_proxy_bypass", "web_set_connections_limit", "web_add_cookie", "web_remove_cookie",
                            "web_revert_auto_header", "web_set_certificate", "web_set_max_retries",
                            "web_set_proxy_bypass_local"}))
        return reinterpret_cast<E>(&strings<Slot, S>);
    else if constexpr (any({"web_set_timeout", "web_add_header", "web_add_auto_header", "web_save_header",
                            "web_set_sockets_option"}))
        return reinterpret_cast<E>(&strings<Slot, S, S>);
    else if constexpr (any({"SetUser", "web_create_html_param", "web_set_user", "web_create_radio_button_param"}))
        return reinterpret_cast<E>(&strings<Slot, S, S, S>);
    else if constexpr (name == "web_create_html_param_ex")
        return reinterpret_cast<E>(&strings<Slot, S, S, S, S>);
    else
        return reinterpret_cast<E>(&open_list<Slot>);
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
