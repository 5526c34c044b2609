// Where trace lines go: TSW_STANDIN_TRACE names the destination and
// TSW_STANDIN_TRACE_FORMAT the format, read at the first call and at each
// reset. Used under the record's lock, so lines follow the record's order.
#pragma once

#include <string>

namespace standin_engine {

struct TraceOutput {
    bool chosen = false;  // the environment has been read
    int fd = -1;          // -1: not tracing
    bool fd_owned = false;
    bool json = false;  // TSW_STANDIN_TRACE_FORMAT=json
};

// Reads the environment again, closing a file chosen before. A file that
// cannot be opened is reported on standard error, and nothing is traced.
void choose_trace(TraceOutput& out);

// The whole line with one write, so lines from several threads never mix.
void write_trace(const TraceOutput& out, const std::string& line);

}  // namespace standin_engine
