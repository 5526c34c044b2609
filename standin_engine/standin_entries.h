/* The replay engine's entry points as the stand-in exports them: the same
 * names and C signatures the real engine has, all returning int. Lists end
 * with the string "LAST" ("ENDFORM" for FormSubmit); see README.md for the
 * two concurrent lists, which have no marker. */
#ifndef TSW_STANDIN_ENTRIES_H
#define TSW_STANDIN_ENTRIES_H

#include "standin_control.h"

#ifdef __cplusplus
extern "C" {
#endif

/* no argument */
STANDIN_API int InitWebVuser(void);
STANDIN_API int TerminateWebVuser(void);
STANDIN_API int web_cleanup_cookies(void);
STANDIN_API int web_disable_keep_alive(void);
STANDIN_API int web_enable_keep_alive(void);
STANDIN_API int web_cache_cleanup(void);

/* one int */
STANDIN_API int web_get_int_property(int property);

/* one string */
STANDIN_API int URL(const char* url);
STANDIN_API int web_set_max_html_param_len(const char* length);
STANDIN_API int web_set_proxy(const char* host_port);
STANDIN_API int web_set_secure_proxy(const char* host_port);
STANDIN_API int web_set_proxy_bypass(const char* list);
STANDIN_API int web_set_connections_limit(const char* limit);
STANDIN_API int web_add_cookie(const char* cookie);
STANDIN_API int web_remove_cookie(const char* cookie);
#ifndef STANDIN_NO_REVERT_AUTO_HEADER
STANDIN_API int web_revert_auto_header(const char* header);
#endif
STANDIN_API int web_set_certificate(const char* number);
STANDIN_API int web_set_max_retries(const char* retries);
STANDIN_API int web_set_proxy_bypass_local(const char* setting);

/* two strings */
STANDIN_API int web_set_timeout(const char* kind, const char* value);
STANDIN_API int web_add_header(const char* header, const char* content);
STANDIN_API int web_add_auto_header(const char* header, const char* content);
STANDIN_API int web_save_header(const char* kind, const char* param);
STANDIN_API int web_set_sockets_option(const char* option, const char* value);

/* three strings */
STANDIN_API int SetUser(const char* user, const char* password, const char* host);
STANDIN_API int web_create_html_param(const char* param, const char* left, const char* right);
STANDIN_API int web_set_user(const char* user, const char* password, const char* host);
STANDIN_API int web_create_radio_button_param(const char* param, const char* group, const char* value);

/* four strings */
STANDIN_API int web_create_html_param_ex(const char* param, const char* left, const char* right, const char* instance);

/* lists */
STANDIN_API int FormSubmit(const char* first, ...);
STANDIN_API int web_url(const char* first, ...);
STANDIN_API int web_link(const char* first, ...);
STANDIN_API int web_image(const char* first, ...);
STANDIN_API int web_submit_form(const char* first, ...);
STANDIN_API int web_submit_data(const char* first, ...);
STANDIN_API int web_custom_request(const char* first, ...);
STANDIN_API int web_find(const char* first, ...);
STANDIN_API int web_concurrent_start(const char* first, ...);
STANDIN_API int web_concurrent_end(const char* first, ...);
STANDIN_API int web_image_check(const char* first, ...);
STANDIN_API int web_java_check(const char* first, ...);
STANDIN_API int web_global_verification(const char* first, ...);
STANDIN_API int web_reg_find(const char* first, ...);
STANDIN_API int web_reg_save_param(const char* first, ...);
STANDIN_API int web_remove_auto_header(const char* first, ...);
STANDIN_API int web_set_certificate_ex(const char* first, ...);
STANDIN_API int web_create_html_query(const char* first, ...);
STANDIN_API int web_set_option(const char* first, ...);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TSW_STANDIN_ENTRIES_H */
