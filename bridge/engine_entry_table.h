// The table of engine entry points, filled once when the library is attached.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "bridge/engine_entry.h"

namespace jweb {

// Entry names in slot order. The only list of them in the library: slots are
// found by name at compile time (slot_of), so no second list can drift.
inline constexpr std::array<const char*, 48> engine_entry_names = {
    "InitWebVuser",                   //  0
    "TerminateWebVuser",              //  1
    "URL",                            //  2
    "FormSubmit",                     //  3
    "SetUser",                        //  4
    "web_url",                        //  5
    "web_link",                       //  6
    "web_image",                      //  7
    "web_submit_form",                //  8
    "web_submit_data",                //  9
    "web_custom_request",             // 10
    "web_find",                       // 11
    "web_create_html_param",          // 12
    "web_create_html_param_ex",       // 13
    "web_set_max_html_param_len",     // 14
    "web_set_proxy",                  // 15
    "web_set_secure_proxy",           // 16
    "web_set_proxy_bypass",           // 17
    "web_set_user",                   // 18
    "web_set_connections_limit",      // 19
    "web_set_timeout",                // 20
    "web_add_cookie",                 // 21
    "web_remove_cookie",              // 22
    "web_cleanup_cookies",            // 23
    "web_add_header",                 // 24
    "web_add_auto_header",            // 25
    "web_disable_keep_alive",         // 26
    "web_enable_keep_alive",          // 27
    "web_set_certificate",            // 28
    "web_save_header",                // 29
    "web_get_int_property",           // 30
    "web_concurrent_end",             // 31
    "web_concurrent_start",           // 32
    "web_image_check",                // 33
    "web_java_check",                 // 34
    "web_global_verification",        // 35
    "web_reg_find",                   // 36
    "web_reg_save_param",             // 37
    "web_remove_auto_header",         // 38
    "web_revert_auto_header",         // 39
    "web_set_certificate_ex",         // 40
    "web_set_max_retries",            // 41
    "web_set_sockets_option",         // 42
    "web_set_proxy_bypass_local",     // 43
    "web_cache_cleanup",              // 44
    "web_create_html_query",          // 45
    "web_create_radio_button_param",  // 46
    "web_set_option",                 // 47
};

inline constexpr std::size_t engine_slot_count = engine_entry_names.size();

struct EngineEntryTable {
    void* module;  // the engine's handle; non-null once bound
    EngineEntry entries[engine_slot_count];
};

// Zero when the library is mapped; written only by bind_engine.
extern EngineEntryTable engine_entry_table;

// A string literal usable as a template argument: entry<"web_url">.
template <std::size_t N>
struct EntryName {
    char text[N];
    consteval EntryName(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) text[i] = s[i];
    }
    constexpr std::string_view view() const { return {text, N - 1}; }
};

consteval std::size_t slot_of(std::string_view name) {
    for (std::size_t slot = 0; slot < engine_slot_count; ++slot)
        if (name == engine_entry_names[slot]) return slot;
    throw "no engine entry of that name";  // a compile error in a constant expression
}

// Reads one slot. Relaxed reads of a table that is written once, before any
// method can run, so plain loads are all it takes.
template <EntryName Name>
inline EngineEntry engine_entry() {
    constexpr std::size_t slot = slot_of(Name.view());
    return engine_entry_table.entries[slot];
}

// Fills the table from the engine module if it is already loaded; never loads
// it. Runs once per load of the library, from the platform's attach hook.
void bind_engine();

}  // namespace jweb
