// The engine's 48 entry points, with the names and C signatures of the real
// engine's (standin_entries.h). Each hands its arguments to the record.
// Built twice (see CMakeLists.txt); STANDIN_NO_REVERT_AUTO_HEADER leaves out
// web_revert_auto_header, like engine versions that lack it.

#include <cstdarg>
#include <optional>
#include <utility>

#include "list_reading.h"
#include "recording.h"
#include "standin_control.h"
#include "standin_entries.h"

using standin_engine::finish;
using standin_engine::g_result;
using standin_engine::ListEnd;
using standin_engine::read_list;
using standin_engine::Record;
using standin_engine::record_fixed;
using standin_engine::record_int;
using standin_engine::unrecorded_call;

#define STANDIN_ENTRY extern "C" STANDIN_API int

// va_end before the call is stored: an injected failure may leave by a jump.
#define STANDIN_LIST_ENTRY(entry, rule)                                         \
    STANDIN_ENTRY entry(const char* first, ...) {                               \
        if (unrecorded_call()) return g_result.load(std::memory_order_relaxed); \
        va_list ap;                                                             \
        va_start(ap, first);                                                    \
        std::optional<Record> r;                                                \
        try {                                                                   \
            r.emplace(read_list(#entry, rule, first, &ap));                     \
        } catch (...) { /* out of memory */                                     \
            va_end(ap);                                                         \
            throw;                                                              \
        }                                                                       \
        va_end(ap);                                                             \
        return finish(std::move(*r));                                           \
    }

STANDIN_ENTRY InitWebVuser(void) { return record_fixed("InitWebVuser", {}); }
STANDIN_ENTRY TerminateWebVuser(void) { return record_fixed("TerminateWebVuser", {}); }
STANDIN_ENTRY web_cleanup_cookies(void) { return record_fixed("web_cleanup_cookies", {}); }
STANDIN_ENTRY web_disable_keep_alive(void) { return record_fixed("web_disable_keep_alive", {}); }
STANDIN_ENTRY web_enable_keep_alive(void) { return record_fixed("web_enable_keep_alive", {}); }
STANDIN_ENTRY web_cache_cleanup(void) { return record_fixed("web_cache_cleanup", {}); }

STANDIN_ENTRY web_get_int_property(int property) { return record_int("web_get_int_property", property); }

STANDIN_ENTRY URL(const char* a) { return record_fixed("URL", {a}); }
STANDIN_ENTRY web_set_max_html_param_len(const char* a) { return record_fixed("web_set_max_html_param_len", {a}); }
STANDIN_ENTRY web_set_proxy(const char* a) { return record_fixed("web_set_proxy", {a}); }
STANDIN_ENTRY web_set_secure_proxy(const char* a) { return record_fixed("web_set_secure_proxy", {a}); }
STANDIN_ENTRY web_set_proxy_bypass(const char* a) { return record_fixed("web_set_proxy_bypass", {a}); }
STANDIN_ENTRY web_set_connections_limit(const char* a) { return record_fixed("web_set_connections_limit", {a}); }
STANDIN_ENTRY web_add_cookie(const char* a) { return record_fixed("web_add_cookie", {a}); }
STANDIN_ENTRY web_remove_cookie(const char* a) { return record_fixed("web_remove_cookie", {a}); }
#ifndef STANDIN_NO_REVERT_AUTO_HEADER
STANDIN_ENTRY web_revert_auto_header(const char* a) { return record_fixed("web_revert_auto_header", {a}); }
#endif
STANDIN_ENTRY web_set_certificate(const char* a) { return record_fixed("web_set_certificate", {a}); }
STANDIN_ENTRY web_set_max_retries(const char* a) { return record_fixed("web_set_max_retries", {a}); }
STANDIN_ENTRY web_set_proxy_bypass_local(const char* a) { return record_fixed("web_set_proxy_bypass_local", {a}); }

STANDIN_ENTRY web_set_timeout(const char* a, const char* b) { return record_fixed("web_set_timeout", {a, b}); }
STANDIN_ENTRY web_add_header(const char* a, const char* b) { return record_fixed("web_add_header", {a, b}); }
STANDIN_ENTRY web_add_auto_header(const char* a, const char* b) { return record_fixed("web_add_auto_header", {a, b}); }
STANDIN_ENTRY web_save_header(const char* a, const char* b) { return record_fixed("web_save_header", {a, b}); }
STANDIN_ENTRY web_set_sockets_option(const char* a, const char* b) {
    return record_fixed("web_set_sockets_option", {a, b});
}

STANDIN_ENTRY SetUser(const char* a, const char* b, const char* c) { return record_fixed("SetUser", {a, b, c}); }
STANDIN_ENTRY web_create_html_param(const char* a, const char* b, const char* c) {
    return record_fixed("web_create_html_param", {a, b, c});
}
STANDIN_ENTRY web_set_user(const char* a, const char* b, const char* c) {
    return record_fixed("web_set_user", {a, b, c});
}
STANDIN_ENTRY web_create_radio_button_param(const char* a, const char* b, const char* c) {
    return record_fixed("web_create_radio_button_param", {a, b, c});
}

STANDIN_ENTRY web_create_html_param_ex(const char* a, const char* b, const char* c, const char* d) {
    return record_fixed("web_create_html_param_ex", {a, b, c, d});
}

STANDIN_LIST_ENTRY(FormSubmit, ListEnd::endform)
STANDIN_LIST_ENTRY(web_url, ListEnd::last)
STANDIN_LIST_ENTRY(web_link, ListEnd::last)
STANDIN_LIST_ENTRY(web_image, ListEnd::last)
STANDIN_LIST_ENTRY(web_submit_form, ListEnd::last)
STANDIN_LIST_ENTRY(web_submit_data, ListEnd::last)
STANDIN_LIST_ENTRY(web_custom_request, ListEnd::last)
STANDIN_LIST_ENTRY(web_find, ListEnd::last)
STANDIN_LIST_ENTRY(web_concurrent_start, ListEnd::concurrent)
STANDIN_LIST_ENTRY(web_concurrent_end, ListEnd::concurrent)
STANDIN_LIST_ENTRY(web_image_check, ListEnd::last)
STANDIN_LIST_ENTRY(web_java_check, ListEnd::last)
STANDIN_LIST_ENTRY(web_global_verification, ListEnd::last)
STANDIN_LIST_ENTRY(web_reg_find, ListEnd::last)
STANDIN_LIST_ENTRY(web_reg_save_param, ListEnd::last)
STANDIN_LIST_ENTRY(web_remove_auto_header, ListEnd::last)
STANDIN_LIST_ENTRY(web_set_certificate_ex, ListEnd::last)
STANDIN_LIST_ENTRY(web_create_html_query, ListEnd::last)
STANDIN_LIST_ENTRY(web_set_option, ListEnd::last)
