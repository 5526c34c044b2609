// The methods of the library's table as people read them: the Java
// declaration and the list the engine receives, written from the layout.
#pragma once

#include <string>
#include <string_view>

#include "methods/method_table.h"

namespace jweb::method_text {

// "jweb_url(String name, String url, String[] attributes)"
inline std::string java_declaration(const MethodRow& row) {
    return std::string(row.java_name) + "(" + row.java_parameters + ")";
}

// The Java result type: the text utilities give a String, the others an int.
inline std::string java_result(const MethodRow& row) { return row.entry == nullptr ? "String" : "int"; }

// The engine's arguments, in order: "name, url, attributes..., LAST". Each
// array stands for its elements; see engine_argument_legend.
inline std::string engine_arguments(const MethodRow& row) {
    if (row.entry == nullptr) return "";
    auto parameter = method_layout::parameters(row.java_parameters).begin();
    std::string out;
    for (const method_layout::Token token : method_layout::tokens(row.layout)) {
        if (!out.empty()) out += ", ";
        if (token.is_marker()) {
            out += token.word;
            continue;
        }
        const std::string name(parameter == std::default_sentinel ? "?" : (*parameter++).name);
        switch (token.kind) {
            case method_layout::Kind::elements: out += name + "..."; break;
            case method_layout::Kind::elements_or_null: out += name + "... or NULL"; break;
            case method_layout::Kind::body: out += "[" + name + "]"; break;
            default: out += name; break;
        }
    }
    return out;
}

inline constexpr std::string_view engine_argument_legend =
    "`x...` is the elements of the array x, one argument each, none when it is empty or null; "
    "`x... or NULL` is the same, but one `NULL` when it is empty or null; "
    "`[body]` is one argument, the bytes of `body` with a zero byte added, left out when `body` is null; "
    "`LAST`, `ENDFORM` and `ITEMDATA` are the library's marker strings. "
    "A null `String` reaches the engine as `NULL` (only `jweb_old_url` refuses it).";

}  // namespace jweb::method_text
