// What is kept of one call to an entry: its arguments as they were read, its
// thread, and how it ended. Made by the entries and the list reader, stored by
// the recording, written by the trace.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "standin_control.h"

namespace standin_engine {

using Arg = std::optional<std::string>;  // nullopt: a null pointer

struct Record {
    explicit Record(const char* entry) : name(entry) {}
    const char* name;  // a string literal
    long long thread_id = 0;
    std::string thread_name;
    std::vector<Arg> args;
    bool is_list = false;
    bool has_int = false;
    int int_arg = 0;
    int result = 0;
    int failure = STANDIN_FAIL_NONE;
    int list_status = STANDIN_LIST_COMPLETE;
    bool called_back = false;  // the result is what the host's callback returned
};

}  // namespace standin_engine
