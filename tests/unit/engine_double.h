// Recording stand-ins for the 48 engine entries, installed straight into the
// entry table, for tests of the frame without an engine module.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace engine_double {

using Argument = std::optional<std::string>;  // nullopt: a null pointer

struct Call {
    std::string entry;
    std::vector<Argument> arguments;
};

enum class Failure { none, throw_int, throw_runtime_error, throw_unrelated, segv, fpe };

// Puts a recording function of the right shape into every slot.
void bind_all();
// Empties every slot, as when the engine was absent at attach.
void unbind_all();
// Empties one slot.
void unbind(const char* entry);

// What the next calls return; the failure applies to the next call only.
void set_result(int result);
void fail_next_call(Failure failure);
// The next call runs hook(context) before it returns or fails, as an engine
// calling back into Java does.
void call_back_next(void (*hook)(void*), void* context);
// Open lists are read up to and including their marker; a list without one
// (the concurrent groups) is read to exactly this many arguments.
void expect_list_length(std::size_t length);

const std::vector<Call>& calls();
void clear();

}  // namespace engine_double
