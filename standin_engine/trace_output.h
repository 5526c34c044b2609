// Where trace lines go: TSW_STANDIN_TRACE names the destination and
// TSW_STANDIN_TRACE_FORMAT the format, read at the first call and at each
// reset; the format is checked when the engine is loaded as well. Used under
// the record's lock, so lines follow the record's order.
#pragma once

#include <optional>
#include <string>

namespace standin_engine {

struct Record;

enum class TraceFormat { text, text_tid, json };

// The format a value of TSW_STANDIN_TRACE_FORMAT names: unset and empty are
// text; nullopt for a value that names none (compared exactly, case included).
std::optional<TraceFormat> parse_trace_format(const char* value);

// The values parse_trace_format accepts, for the message that refuses another.
const std::string& trace_format_names();

struct TraceOutput {
    bool chosen = false;  // the environment has been read
    int fd = -1;          // -1: not tracing
    bool fd_owned = false;
    TraceFormat format = TraceFormat::text;
    unsigned long long lines = 0;  // written since the trace was chosen: the last line's seq
};

// Reads the environment again, closing a file chosen before. A format that
// is none of trace_format_names(), or a file that cannot be opened, is
// reported on standard error, and nothing is traced.
void choose_trace(TraceOutput& out);

// The call's line, numbered and stamped, with one write, so lines from
// several threads never mix.
void write_trace(TraceOutput& out, const Record& r, int cap);

}  // namespace standin_engine
