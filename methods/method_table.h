// The 54 native methods of tsapi.web in one constexpr table: the Java method,
// the engine entry it calls and the list the engine receives. The unit tests
// check every row against the methods' real behaviour, and jweb-check and the
// method reference in docs/ are made from it, so none of them can drift.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "bridge/engine_entry_table.h"
#include "methods/method_layout.h"

namespace jweb {

// layout, one token per engine argument (or per Java argument that gives
// several), in the engine's argument order:
//   S   a Java String, passed as a C string (null as NULL)
//   I   a Java int, passed as an int
//   A   a String[]: one argument per element, none when empty or null
//   A0  a String[] that gives one NULL argument when empty or null
//   B   a byte[]: one argument, a NUL-terminated copy of the bytes; none when null
//   LAST, ENDFORM, ITEMDATA   the library's marker strings
// A text utility has no engine entry; its layout is "S -> String".
// java_parameters is the Java declaration's parameter list.
struct MethodRow {
    const char* java_name;
    const char* entry;  // nullptr for the text utilities
    const char* layout;
    const char* java_parameters;
};

inline constexpr std::array<MethodRow, 54> method_table = {{
    {"jweb_initialize", "InitWebVuser", "", ""},
    {"jweb_terminate", "TerminateWebVuser", "", ""},

    {"jweb_cleanup_cookies", "web_cleanup_cookies", "", ""},
    {"jweb_cleanup_auto_headers", "web_cleanup_cookies", "", ""},  // the engine has no entry of its own for it
    {"jweb_disable_keep_alive", "web_disable_keep_alive", "", ""},
    {"jweb_enable_keep_alive", "web_enable_keep_alive", "", ""},
    {"jweb_cache_cleanup", "web_cache_cleanup", "", ""},

    {"jweb_get_int_property", "web_get_int_property", "I", "int property"},

    {"jweb_old_url", "URL", "S", "String url"},  // refuses a null url
    {"jweb_set_max_html_param_len", "web_set_max_html_param_len", "S", "String length"},
    {"jweb_set_proxy", "web_set_proxy", "S", "String proxy"},
    {"jweb_set_secure_proxy", "web_set_secure_proxy", "S", "String proxy"},
    {"jweb_set_proxy_bypass", "web_set_proxy_bypass", "S", "String hosts"},
    {"jweb_set_connections_limit", "web_set_connections_limit", "S", "String limit"},
    {"jweb_add_cookie", "web_add_cookie", "S", "String cookie"},
    {"jweb_remove_cookie", "web_remove_cookie", "S", "String cookie"},
    {"jweb_set_certificate", "web_set_certificate", "S", "String index"},
    {"jweb_revert_auto_header", "web_revert_auto_header", "S", "String header"},
    {"jweb_set_max_retries", "web_set_max_retries", "S", "String retries"},
    {"jweb_set_proxy_bypass_local", "web_set_proxy_bypass_local", "S", "String bypass"},

    {"jweb_set_timeout", "web_set_timeout", "S S", "String category, String value"},
    {"jweb_add_header", "web_add_header", "S S", "String header, String content"},
    {"jweb_add_auto_header", "web_add_auto_header", "S S", "String header, String content"},
    {"jweb_save_header", "web_save_header", "S S", "String type, String param"},
    {"jweb_set_sockets_option", "web_set_sockets_option", "S S", "String option, String value"},

    {"jweb_setUser", "SetUser", "S S S", "String user, String password, String host"},
    {"jweb_create_html_param", "web_create_html_param", "S S S", "String param, String left, String right"},
    {"jweb_set_user", "web_set_user", "S S S", "String user, String password, String host"},
    {"jweb_create_radio_button_param", "web_create_radio_button_param", "S S S",
     "String param, String group, String value"},

    {"jweb_create_html_param_ex", "web_create_html_param_ex", "S S S S",
     "String param, String left, String right, String instance"},

    {"jweb_url", "web_url", "S S A LAST", "String name, String url, String[] attributes"},
    {"jweb_link", "web_link", "S S A LAST", "String name, String text, String[] attributes"},
    {"jweb_set_option", "web_set_option", "S S A LAST", "String option, String value, String[] attributes"},
    {"jweb_image", "web_image", "S A LAST", "String name, String[] attributes"},
    {"jweb_image_check", "web_image_check", "S A LAST", "String name, String[] attributes"},
    {"jweb_java_check", "web_java_check", "S A LAST", "String name, String[] attributes"},
    {"jweb_global_verification", "web_global_verification", "S A LAST", "String name, String[] attributes"},
    {"jweb_reg_find", "web_reg_find", "S A LAST", "String text, String[] attributes"},
    {"jweb_reg_save_param", "web_reg_save_param", "S A LAST", "String param, String[] attributes"},
    {"jweb_remove_auto_header", "web_remove_auto_header", "S A LAST", "String header, String[] attributes"},
    {"jweb_create_html_query", "web_create_html_query", "S A LAST", "String startQuery, String[] attributes"},
    {"jweb_old_formSubmit", "FormSubmit", "S A ENDFORM", "String form, String[] attributes"},
    {"jweb_set_certificate_ex", "web_set_certificate_ex", "A LAST", "String[] attributes"},

    {"jweb_submit_form", "web_submit_form", "S A ITEMDATA A LAST", "String name, String[] attributes, String[] items"},
    {"jweb_submit_data", "web_submit_data", "S S A ITEMDATA A LAST",
     "String name, String action, String[] attributes, String[] items"},
    {"jweb_web_find", "web_find", "S A A LAST", "String name, String[] attributes, String[] search"},

    {"jweb_custom_request", "web_custom_request", "S S A LAST", "String name, String method, String[] attributes"},
    {"jweb_custom_request2", "web_custom_request", "S S A B LAST",
     "String name, String method, String[] attributes, byte[] body"},

    // No marker: the script passes the closing string itself.
    {"jweb_concurrent_start", "web_concurrent_start", "S A0 S", "String name, String[] attributes, String last"},
    {"jweb_concurrent_end", "web_concurrent_end", "A0 S", "String[] attributes, String last"},

    {"jweb_util_url_encode", nullptr, "S -> String", "String text"},
    {"jweb_util_url_decode", nullptr, "S -> String", "String text"},
    {"jweb_util_base64encode", nullptr, "S -> String", "String text"},
    {"jweb_util_base64decode", nullptr, "S -> String", "String text"},
}};

// The layout of the Java arguments alone: a text utility's is its one string.
constexpr std::string_view java_argument_layout(const MethodRow& row) {
    return row.entry == nullptr ? "S" : row.layout;
}

// ---- compile-time checks of the table against itself and the entry list ----

namespace method_table_checks {

constexpr bool is_engine_entry(std::string_view name) {
    for (const char* entry : engine_entry_names)
        if (name == entry) return true;
    return false;
}

// The layout's non-marker tokens are the declared parameters' types, in order.
constexpr bool layout_matches_parameters(const MethodRow& row) {
    if (row.entry == nullptr && std::string_view(row.layout) != "S -> String") return false;
    auto parameter = method_layout::parameters(row.java_parameters).begin();
    for (const method_layout::Token token : method_layout::tokens(java_argument_layout(row))) {
        if (token.kind == method_layout::Kind::unknown) return false;
        if (token.is_marker()) continue;
        if (parameter == std::default_sentinel) return false;
        const method_layout::Parameter declared = *parameter++;
        if (declared.type != token.java_type() || declared.name.empty()) return false;
    }
    return parameter == std::default_sentinel;
}

constexpr bool every_entry_is_known() {
    for (const MethodRow& row : method_table)
        if (row.entry != nullptr && !is_engine_entry(row.entry)) return false;
    return true;
}

constexpr bool every_entry_is_used() {
    for (const char* entry : engine_entry_names) {
        bool used = false;
        for (const MethodRow& row : method_table)
            if (row.entry != nullptr && std::string_view(row.entry) == entry) used = true;
        if (!used) return false;
    }
    return true;
}

constexpr bool java_names_are_unique() {
    for (std::size_t i = 0; i < method_table.size(); ++i)
        for (std::size_t j = i + 1; j < method_table.size(); ++j)
            if (std::string_view(method_table[i].java_name) == method_table[j].java_name) return false;
    return true;
}

constexpr bool every_layout_matches_its_parameters() {
    for (const MethodRow& row : method_table)
        if (!layout_matches_parameters(row)) return false;
    return true;
}

constexpr std::size_t text_utility_count() {
    std::size_t n = 0;
    for (const MethodRow& row : method_table) n += row.entry == nullptr;
    return n;
}

static_assert(every_entry_is_known(), "a method's entry is not in engine_entry_names");
static_assert(every_entry_is_used(), "an engine entry is reached by no method");
static_assert(java_names_are_unique(), "a Java method appears twice");
static_assert(every_layout_matches_its_parameters(), "a layout does not match its Java parameters");
static_assert(text_utility_count() == 4, "four methods are computed without the engine");

}  // namespace method_table_checks

}  // namespace jweb
