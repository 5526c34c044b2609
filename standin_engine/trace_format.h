// The two forms of a trace line: a C call with its result, or a JSON object
// for tools. Both escape argument bytes so that every byte stays visible.
#pragma once

#include <string>
#include <string_view>

#include "recording.h"

namespace standin_engine {

// The line for a call, ending in \n. `cap` is the list cap a cut list hit.
std::string trace_line(const Record& r, int cap, bool json);

// A C string literal for the bytes, as the C form shows arguments.
void append_quoted(std::string& out, std::string_view bytes);

}  // namespace standin_engine
