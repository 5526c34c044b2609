// The javadoc of the 54 methods of tsapi.web: what each does, in a sentence of
// its own here, and the rest (the entry, the engine's arguments, the results)
// written from the library's table. method-reference fails when a row of the
// table has no sentence here, or a sentence no row.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "method_text.h"

namespace jweb::method_text {

struct MethodSummary {
    std::string_view java_name;
    std::string_view summary;
};

inline constexpr std::array<MethodSummary, 54> method_summaries = {{
    {"jweb_initialize", "Starts the virtual user in the engine: the first call of a script."},
    {"jweb_terminate", "Ends the virtual user in the engine: the last call of a script."},
    {"jweb_cleanup_cookies", "Forgets every cookie the engine holds for this virtual user."},
    {"jweb_cleanup_auto_headers",
     "Meant to drop every header added with {@link #jweb_add_auto_header}; the engine has no entry of its own for "
     "it, so it clears the cookies instead, as {@link #jweb_cleanup_cookies} does."},
    {"jweb_disable_keep_alive", "Makes the engine close each connection after its request."},
    {"jweb_enable_keep_alive", "Makes the engine keep connections open between requests again."},
    {"jweb_cache_cleanup", "Empties the engine's cache of this virtual user's resources."},
    {"jweb_get_int_property", "Reads one number about the last request from the engine, such as its HTTP status."},
    {"jweb_old_url", "Requests a page by its URL, in the older form of the step, without attributes."},
    {"jweb_set_max_html_param_len", "Sets the longest value the engine saves into a parameter from a page."},
    {"jweb_set_proxy", "Sends the following HTTP requests through this proxy."},
    {"jweb_set_secure_proxy", "Sends the following HTTPS requests through this proxy."},
    {"jweb_set_proxy_bypass", "Names the hosts reached without the proxy."},
    {"jweb_set_connections_limit", "Sets how many connections the engine opens at once for this virtual user."},
    {"jweb_add_cookie", "Adds a cookie to the engine's cookies, as a server's Set-Cookie would."},
    {"jweb_remove_cookie", "Removes a cookie from the engine's cookies."},
    {"jweb_set_certificate", "Picks the client certificate the engine presents, by its index."},
    {"jweb_revert_auto_header", "Stops adding one header added with {@link #jweb_add_auto_header}."},
    {"jweb_set_max_retries", "Sets how many times the engine retries a failed request."},
    {"jweb_set_proxy_bypass_local", "Says whether local addresses are reached without the proxy."},
    {"jweb_set_timeout", "Sets one of the engine's timeouts, named by its category."},
    {"jweb_add_header", "Adds a header to the next request only."},
    {"jweb_add_auto_header", "Adds a header to every following request."},
    {"jweb_save_header", "Saves the headers of the following requests or responses into a parameter."},
    {"jweb_set_sockets_option", "Sets one option of the engine's connections, such as its TLS version."},
    {"jweb_setUser", "Gives the user name and password for a host's authentication, in the older form of the step."},
    {"jweb_create_html_param", "Saves the text of the next page between two boundaries into a parameter."},
    {"jweb_set_user", "Gives the user name and password for a host's authentication."},
    {"jweb_create_radio_button_param", "Saves the value of one radio button of the next page into a parameter."},
    {"jweb_create_html_param_ex",
     "Saves the text of the next page between two boundaries into a parameter, choosing which occurrence."},
    {"jweb_url", "Requests a page by its URL, with its resources as the attributes say."},
    {"jweb_link", "Follows the link of the last page whose text is given."},
    {"jweb_set_option", "Sets one of the engine's options for the following steps."},
    {"jweb_image", "Follows the image link of the last page that the attributes name."},
    {"jweb_image_check", "Checks that the next page holds the image the attributes describe."},
    {"jweb_java_check", "Checks the Java applets of the next page."},
    {"jweb_global_verification", "Checks every following page for the text the attributes give."},
    {"jweb_reg_find", "Checks the next response for the text the attributes give."},
    {"jweb_reg_save_param",
     "Saves text of the next response, between boundaries the attributes give, into a parameter."},
    {"jweb_remove_auto_header", "Stops adding a header added with {@link #jweb_add_auto_header}."},
    {"jweb_create_html_query", "Builds a query string from the next page's form into a parameter."},
    {"jweb_old_formSubmit", "Submits a form of the last page, in the older form of the step."},
    {"jweb_set_certificate_ex", "Picks the client certificate the engine presents, with the file and key it is in."},
    {"jweb_submit_form", "Submits a form of the last page, with the fields given as items."},
    {"jweb_submit_data", "Sends form data to an action URL, without a form on the last page."},
    {"jweb_web_find", "Searches the last page for text, in the older form of the check."},
    {"jweb_custom_request", "Sends a request built from its attributes: any method, any body given as an attribute."},
    {"jweb_custom_request2", "Sends a request built from its attributes, with its body given as bytes."},
    {"jweb_concurrent_start", "Starts a group of steps that the engine runs at once, up to the group's end."},
    {"jweb_concurrent_end", "Ends the group of steps started by {@link #jweb_concurrent_start} and runs them."},
    {"jweb_util_url_encode",
     "Encodes text for a URL's query or a form: ASCII letters, digits and {@code _} stay, a space "
     "becomes {@code +}, every other byte of its modified UTF-8 {@code %XX}."},
    {"jweb_util_url_decode", "Decodes text that {@link #jweb_util_url_encode} encoded: {@code +} and {@code %XX}."},
    {"jweb_util_base64encode", "Encodes text in Base64: the standard alphabet, {@code =} padding, no line breaks."},
    {"jweb_util_base64decode", "Decodes Base64 text."},
}};

// "" when every row has its sentence and every sentence its row, else what is wrong.
inline std::string rows_without_summary() {
    std::string out;
    for (std::size_t i = 0; i < method_table.size(); ++i)
        if (i >= method_summaries.size() || method_summaries[i].java_name != method_table[i].java_name)
            out += std::string(out.empty() ? "" : "; ") + "row " + std::to_string(i) + " (" +
                   method_table[i].java_name + ") has no sentence in method_javadoc.h at its place";
    return out;
}

inline std::string_view summary_of(const MethodRow& row) {
    for (const MethodSummary& s : method_summaries)
        if (s.java_name == row.java_name) return s.summary;
    return "";
}

// One Java parameter's description, from its layout token.
inline std::string parameter_text(const MethodRow& row, method_layout::Kind kind) {
    using method_layout::Kind;
    if (row.entry == nullptr) return "the text; null gives an empty string";
    if (kind == Kind::integer) return "passed as a C {@code int}";
    if (kind == Kind::elements) return "one engine argument per element, in order; none when empty or null";
    if (kind == Kind::elements_or_null)
        return "one engine argument per element, in order; one {@code NULL} when empty or null";
    if (kind == Kind::body)
        return "the body: one engine argument, its bytes with a zero byte added; left out when null";
    if (std::string_view(row.java_name) == "jweb_old_url")
        return "passed as a C string of its modified UTF-8; null is refused: the method returns -55555 without "
               "calling the engine";
    return "passed as a C string of its modified UTF-8; null passes {@code NULL}";
}

// Words laid out as javadoc lines of at most `width` columns.
inline void wrap(std::string& out, std::string_view indent, std::string_view text, std::size_t width = 100) {
    // "{@code x}" and "{@link x}" stay on one line.
    std::vector<std::string> units;
    for (const std::string_view word : method_layout::Words(text, ' ')) {
        if (!units.empty() && units.back().rfind("{@", 0) == 0 && units.back().find('}') == std::string::npos)
            units.back() += " " + std::string(word);
        else
            units.emplace_back(word);
    }
    std::string line;
    for (const std::string& word : units) {
        if (!line.empty() && indent.size() + 3 + line.size() + 1 + word.size() > width) {
            out += std::string(indent) + " * " + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) out += std::string(indent) + " * " + line + "\n";
}

// The method's javadoc comment, each line starting with `indent`.
inline std::string javadoc(const MethodRow& row, std::string_view indent) {
    const std::string entry = row.entry == nullptr ? "" : "{@code " + std::string(row.entry) + "}";
    bool borrows = false;  // strings, arrays or a body: memory the call may not get
    std::vector<std::string> markers;
    for (const method_layout::Token token : method_layout::tokens(row.layout)) {
        if (!token.is_marker() && token.kind != method_layout::Kind::integer) borrows = true;
        if (token.is_marker()) markers.push_back("{@code " + std::string(token.word) + "}");
    }

    std::string out = std::string(indent) + "/**\n";
    wrap(out, indent, summary_of(row));
    out += std::string(indent) + " *\n";
    if (row.entry == nullptr) {
        wrap(out, indent, "<p>Computed by the library, without the engine: it works whether or not one is loaded.");
    } else {
        std::string call = "<p>Calls the engine's " + entry + ", which receives {@code " + row.entry + "(" +
                           engine_arguments(row) + ")}";
        if (markers.empty()) {
            call += ".";
        } else {
            call += "; ";
            for (std::size_t i = 0; i < markers.size(); ++i)
                call += (i == 0 ? "" : i + 1 == markers.size() ? " and " : ", ") + markers[i];
            call +=
                markers.size() == 1 ? " is a marker string the library adds." : " are marker strings the library adds.";
        }
        wrap(out, indent, call);
    }
    out += std::string(indent) + " *\n";

    auto parameter = method_layout::parameters(row.java_parameters).begin();
    for (const method_layout::Token token : method_layout::tokens(java_argument_layout(row))) {
        if (token.is_marker()) continue;
        if (parameter == std::default_sentinel) break;
        wrap(out, indent, "@param " + std::string((*parameter++).name) + " " + parameter_text(row, token.kind));
    }
    if (row.entry == nullptr) {
        const std::string_view name = row.java_name;
        const bool encodes = name.find("encode") != std::string_view::npos;
        wrap(out, indent,
             std::string("@return the ") + (encodes ? "encoded" : "decoded") +
                 " text; an empty string when {@code text} is null, when memory for the result could not be had, "
                 "or with {@link tsapi.exceptions.Abort}");
        wrap(out, indent,
             "@throws tsapi.exceptions.Abort when the computation faulted inside the library; the result is then "
             "empty");
        wrap(out, indent,
             "@throws OutOfMemoryError when the text's modified UTF-8, or the result, is longer than a Java string "
             "can hold (2147483647 bytes)");
    } else {
        std::string result =
            "@return the engine's own result; -55555 when the engine was not loaded before this "
            "library or lacks " +
            entry;
        if (std::string_view(row.java_name) == "jweb_old_url") result += ", or when {@code url} is null";
        result += ", or when the call failed (then {@link tsapi.exceptions.Abort} is thrown)";
        if (borrows)
            result +=
                "; -55556 when memory for the call could not be had (when the JVM could not hand out a "
                "string's bytes, its {@link OutOfMemoryError} is then pending)";
        wrap(out, indent, result);
        wrap(out, indent,
             "@throws tsapi.exceptions.Abort when the engine faulted (SIGSEGV, SIGBUS, SIGFPE, SIGILL, an access "
             "violation) or threw a C++ exception inside the call; end the virtual user then, as the engine's state "
             "is suspect");
    }
    out += std::string(indent) + " */\n";
    return out;
}

}  // namespace jweb::method_text
