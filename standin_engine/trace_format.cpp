// How a call is written in the trace: the C call form and the JSON form, and
// the byte escaping they share.

#include "trace_format.h"

#include <cstring>

#include "failures.h"

namespace standin_engine {

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

void append_hex(std::string& out, unsigned char c) {
    out += hex_digits[c >> 4];
    out += hex_digits[c & 0xf];
}

// The escapes C literals and JSON strings have in common; null for a byte
// that each writes its own way.
const char* common_escape(unsigned char c) {
    switch (c) {
        case '"': return "\\\"";
        case '\\': return "\\\\";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        default: return nullptr;
    }
}

bool is_hex_digit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_marker(std::string_view s) { return s == "LAST" || s == "ENDFORM" || s == "ITEMDATA"; }

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
// Java's own encoding of U+0000 (C0 80) and of characters beyond U+FFFF (a
// surrogate pair, three bytes each) is not.
bool is_utf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80) continue;
        int more;
        unsigned char low = 0x80, high = 0xbf;  // the allowed range of the second byte
        if (c >= 0xc2 && c <= 0xdf)
            more = 1;
        else if (c == 0xe0)
            more = 2, low = 0xa0;
        else if (c == 0xed)
            more = 2, high = 0x9f;
        else if (c >= 0xe1 && c <= 0xef)
            more = 2;
        else if (c == 0xf0)
            more = 3, low = 0x90;
        else if (c == 0xf4)
            more = 3, high = 0x8f;
        else if (c >= 0xf1 && c <= 0xf3)
            more = 3;
        else
            return false;
        if (end - p < more || *p < low || *p > high) return false;
        for (int k = 1; k < more; ++k)
            if ((p[k] & 0xc0) != 0x80) return false;
        p += more;
    }
    return true;
}

// A JSON value for the bytes: a string when they are UTF-8, otherwise
// {"hex":"..."} with every byte, so that no byte is lost or guessed at.
void append_json_value(std::string& out, std::string_view bytes) {
    if (!is_utf8(bytes)) {
        out += "{\"hex\":\"";
        for (const unsigned char c : bytes) append_hex(out, c);
        out += "\"}";
        return;
    }
    out += '"';
    for (const unsigned char c : bytes) {
        if (const char* escape = common_escape(c)) {
            out += escape;
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\u00";
            append_hex(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

std::string json_trace_line(const Record& r, int cap, const LineStamp& stamp) {
    std::string line = "{\"v\":" + std::to_string(json_trace_version) + ",\"seq\":" + std::to_string(stamp.seq) +
                       ",\"mono_us\":" + std::to_string(stamp.monotonic_us) + ",\"entry\":\"";
    line += r.name;
    line += "\",\"thread\":" + std::to_string(r.thread_id) + ",\"args\":[";
    if (r.has_int) line += std::to_string(r.int_arg);
    for (std::size_t i = 0; i < r.args.size(); ++i) {
        if (i > 0 || r.has_int) line += ',';
        if (r.args[i])
            append_json_value(line, *r.args[i]);
        else
            line += "null";
    }
    line += ']';
    if (r.list_status == STANDIN_LIST_CAPPED)
        line += ",\"list\":\"capped\",\"cap\":" + std::to_string(cap);
    else if (r.list_status == STANDIN_LIST_UNREADABLE)
        line += ",\"list\":\"unreadable\"";
    if (r.failure != STANDIN_FAIL_NONE)
        line += ",\"failure\":\"" + failure_text(r.failure) + '"';
    else
        line += ",\"result\":" + std::to_string(r.result);
    if (r.called_back) line += ",\"called_back\":true";
    line += "}\n";
    return line;
}

// Where jweb_custom_request2 puts its body: the argument right before the
// closing LAST of web_custom_request, after the name and the method. The
// engine gets only its address, so the trace adds its length.
bool is_body_position(const Record& r, std::size_t i) {
    return std::strcmp(r.name, "web_custom_request") == 0 && r.list_status == STANDIN_LIST_COMPLETE && i >= 2 &&
           i + 2 == r.args.size() && r.args.back() == "LAST";
}

// With `tid`, the line starts with the calling thread, as strace -f starts
// the lines of each process: "[tid 4711] ".
std::string c_trace_line(const Record& r, int cap, bool tid) {
    std::string line = tid ? "[tid " + std::to_string(r.thread_id) + "] " : std::string();
    line += r.name;
    line += '(';
    bool first = true;
    auto separate = [&] {
        if (!first) line += ", ";
        first = false;
    };
    if (r.has_int) {
        separate();
        line += std::to_string(r.int_arg);
    }
    for (std::size_t i = 0; i < r.args.size(); ++i) {
        const Arg& a = r.args[i];
        separate();
        if (!a) {
            line += "NULL";
        } else if (r.is_list && is_marker(*a)) {
            line += *a;
        } else {
            append_quoted(line, *a);
            if (is_body_position(r, i)) line += " /* " + std::to_string(a->size()) + " bytes */";
        }
    }
    if (r.list_status != STANDIN_LIST_COMPLETE) {
        separate();
        line += "...";
    }
    line += ')';
    std::string notes;
    if (r.list_status == STANDIN_LIST_CAPPED)
        notes = "list cut at the cap of " + std::to_string(cap) + " arguments";
    else if (r.list_status == STANDIN_LIST_UNREADABLE)
        notes = "list cut: argument " + std::to_string(r.args.size()) + " is unreadable";
    if (r.failure != STANDIN_FAIL_NONE) {
        if (!notes.empty()) notes += "; ";
        notes += "injected failure: ";
        notes += failure_text(r.failure);
    } else {
        line += " = " + std::to_string(r.result);
    }
    if (r.called_back) {
        if (!notes.empty()) notes += "; ";
        notes += "called back";
    }
    if (!notes.empty()) line += " /* " + notes + " */";
    line += '\n';
    return line;
}

}  // namespace

// \xHH takes every hex digit that follows it, so a hex digit right after one
// starts a new literal: "\xff""A".
void append_quoted(std::string& out, std::string_view bytes) {
    out += '"';
    bool after_hex_escape = false;
    for (const unsigned char c : bytes) {
        if (after_hex_escape && is_hex_digit(c)) out += "\"\"";
        after_hex_escape = false;
        if (const char* escape = common_escape(c)) {
            out += escape;
        } else if (c < 0x20 || c >= 0x7f) {
            out += "\\x";
            append_hex(out, c);
            after_hex_escape = true;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

std::string trace_line(const Record& r, int cap, TraceFormat format, const LineStamp& stamp) {
    switch (format) {
        case TraceFormat::json: return json_trace_line(r, cap, stamp);
        case TraceFormat::text_tid: return c_trace_line(r, cap, true);
        case TraceFormat::text: break;
    }
    return c_trace_line(r, cap, false);
}

}  // namespace standin_engine
