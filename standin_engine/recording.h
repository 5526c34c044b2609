// The record of calls, and how an entry's call ends: stored with its trace
// line under one lock, checked against the call a test expected, then
// returned or failed. What is kept of a call, and in which order things
// happen at its end, change here.
#pragma once

#include <atomic>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "record.h"
#include "standin_control.h"
#include "trace_output.h"

namespace standin_engine {

// What a call armed with STANDIN_FAIL_CALL_BACK calls (standin_set_callback).
struct Callback {
    int (*function)(void* context) = nullptr;
    void* context = nullptr;
};

struct Shared {
    std::mutex mutex;
    std::deque<Record> records;     // a deque: references stay valid as it grows
    TraceOutput trace;              // written in the order of the records
    unsigned long long resets = 0;  // tells whether a record kept by index is still there
    Callback callback;
};

// Never destroyed: calls may still arrive from other threads during exit.
Shared& shared();

// What every call returns unless one is expected (standin_set_result).
extern std::atomic<int> g_result;

// Whether this call only returns g_result: recording is off
// (TSW_STANDIN_RECORD=off) and nothing is armed or expected on this thread.
bool unrecorded_call();

// Stores the call, traces it, then fails or returns its result.
int finish(Record&& r);

int record_fixed(const char* entry, std::initializer_list<const char*> args);
int record_int(const char* entry, int value);

// The failure the next call on this thread makes (standin_inject_failure).
void arm_failure(int kind);

// What a test announced for the next call on its thread (standin_expect_call).
struct ExpectedCall {
    std::string entry;
    std::vector<Arg> args;
    int result = 0;
};
void expect_call(ExpectedCall expected);
int expectation_mismatches();
const char* first_mismatch();  // null until a call differed from its expectation

void set_callback(Callback callback);

// Clears the record, the callback, this thread's armed failure and expected
// call, sets the result back to 0 and reads the trace's destination again.
void reset_recording();

}  // namespace standin_engine
