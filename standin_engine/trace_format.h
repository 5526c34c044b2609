// The forms of a trace line: a C call with its result, with or without the
// calling thread in front, or a JSON object for tools. All escape argument
// bytes so that every byte stays visible. docs/trace-format.md describes them.
#pragma once

#include <string>
#include <string_view>

#include "record.h"
#include "trace_output.h"

namespace standin_engine {

// The version of the JSON form ("v"). A field removed, renamed or changed in
// meaning makes a new version; a field added does not.
constexpr int json_trace_version = 1;

// What a line carries besides its call: its number since the trace was
// opened, counted from 1, and when it was written, in microseconds of the
// monotonic clock (the JSON form only).
struct LineStamp {
    unsigned long long seq = 0;
    long long monotonic_us = 0;
};

// The line for a call, ending in \n. `cap` is the list cap a cut list hit.
std::string trace_line(const Record& r, int cap, TraceFormat format, const LineStamp& stamp);

// A C string literal for the bytes, as the C form shows arguments.
void append_quoted(std::string& out, std::string_view bytes);

}  // namespace standin_engine
