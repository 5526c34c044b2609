// The methods of the library's table as people read them: the Java
// declaration and the list the engine receives, written from the layout.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "methods/method_table.h"

namespace jweb::method_text {

inline std::vector<std::string> words(std::string_view text, char separator) {
    std::vector<std::string> out;
    std::string word;
    for (const char c : text) {
        if (c == separator || c == ' ') {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) out.push_back(word);
    return out;
}

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
    const std::vector<std::string> parameters = words(row.java_parameters, ',');
    std::size_t next = 1;  // parameters alternate type and name
    std::string out;
    for (const std::string& token : words(row.layout, ' ')) {
        if (!out.empty()) out += ", ";
        if (method_table_checks::is_marker(token)) {
            out += token;
            continue;
        }
        const std::string name = next < parameters.size() ? parameters[next] : "?";
        next += 2;
        if (token == "A")
            out += name + "...";
        else if (token == "A0")
            out += name + "... or NULL";
        else if (token == "B")
            out += "[" + name + "]";
        else
            out += name;
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
