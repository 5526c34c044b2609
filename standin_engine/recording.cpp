// The record of calls and the end of each entry's call: the order of storing,
// tracing, checking the expected call and failing, and the text that reports
// a call which differed from its expectation.

#include "recording.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "failures.h"
#include "list_reading.h"
#include "thread_identity.h"
#include "trace_format.h"

namespace standin_engine {

Shared& shared() {
    static Shared* s = new Shared;
    return *s;
}

std::atomic<int> g_result{0};

namespace {

// TSW_STANDIN_RECORD=off runs the engine unrecorded, for benchmarks: an entry
// then only returns its result, unless a failure is injected on this thread.
const bool g_unrecorded = [] {
    const char* record = std::getenv("TSW_STANDIN_RECORD");
    return record != nullptr && std::strcmp(record, "off") == 0;
}();

thread_local int t_injected = STANDIN_FAIL_NONE;

// ---- expected calls ----

std::optional<ExpectedCall>& t_expected() { return thread_state<std::optional<ExpectedCall>>(); }

std::atomic<int> g_mismatches{0};
std::atomic<const std::string*> g_first_mismatch{nullptr};  // set once, never freed

// One argument for a mismatch report: enough bytes to tell arguments apart.
std::string describe_arg(const std::vector<Arg>& args, std::size_t k) {
    constexpr std::size_t shown = 64;
    if (k >= args.size()) return "nothing";
    if (!args[k]) return "NULL";
    std::string text;
    append_quoted(text, std::string_view(*args[k]).substr(0, shown));
    if (args[k]->size() > shown) text += "...";
    return text;
}

// Where the received call first departs from the expected one.
std::string describe_mismatch(const ExpectedCall& expected, const Record& r, const std::vector<Arg>& received) {
    std::string text = "thread " + std::to_string(r.thread_id) + ": expected " + expected.entry + " with " +
                       std::to_string(expected.args.size()) + " arguments, the engine received " + r.name + " with " +
                       std::to_string(received.size());
    std::size_t k = 0;
    while (k < expected.args.size() && k < received.size() && expected.args[k] == received[k]) ++k;
    if (k < expected.args.size() || k < received.size())
        text += "; argument " + std::to_string(k) + " is " + describe_arg(received, k) + " instead of " +
                describe_arg(expected.args, k);
    return text;
}

// The arguments as an expectation lists them: the int of
// web_get_int_property in decimal, the strings as they are.
std::vector<Arg> received_arguments(const Record& r) {
    if (r.has_int) return {Arg(std::to_string(r.int_arg))};
    return r.args;
}

// The result the call returns. With a call expected on this thread, checks
// the call against it (a difference is counted and the first one kept) and
// returns its result; otherwise the result every call returns. Owns nothing
// once it returns, since the caller may go on to fail by a jump.
int take_expected_call(const Record& r) {
    if (!t_expected()) return g_result.load(std::memory_order_relaxed);
    const ExpectedCall expected = std::move(*t_expected());
    t_expected().reset();
    std::vector<Arg> received = received_arguments(r);
    if (expected.entry != r.name || expected.args != received) {
        g_mismatches.fetch_add(1, std::memory_order_relaxed);
        auto* text = new std::string(describe_mismatch(expected, r, received));
        const std::string* none = nullptr;
        if (!g_first_mismatch.compare_exchange_strong(none, text)) delete text;
    }
    return expected.result;
}

}  // namespace

// Calls with an expectation are read and checked in every mode.
bool unrecorded_call() { return g_unrecorded && t_injected == STANDIN_FAIL_NONE && !t_expected(); }

namespace {

void trace_locked(Shared& s, const Record& r) {
    if (!s.trace.chosen) choose_trace(s.trace);
    write_trace(s.trace, r, list_cap());
}

// Runs the host's callback for the call stored at `index`, then gives that
// call the callback's result and traces it, unless a reset (by the callback,
// or on another thread) has cleared the record meanwhile.
int call_back(const Callback& callback, std::size_t index, unsigned long long resets) {
    const int result = callback.function(callback.context);
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.resets == resets && index < s.records.size()) {
        Record& r = s.records[index];
        r.result = result;
        r.called_back = true;
        trace_locked(s, r);
    }
    return result;
}

}  // namespace

// No lock is held and no owning object is alive here when a failure starts:
// a fault may leave this frame by a jump that runs no destructors. A call
// that calls back is stored first, so the callback sees it in the record,
// and traced once it has the callback's result.
int finish(Record&& r) {
    r.thread_id = current_tid();
    r.thread_name = current_thread_name();
    const int injected = std::exchange(t_injected, STANDIN_FAIL_NONE);
    const bool calls_back = calls_back_first(injected);
    r.failure = fails(injected) ? injected : STANDIN_FAIL_NONE;
    const int result = take_expected_call(r);
    r.result = result;
    const int failure = r.failure;
    const char* const entry = r.name;
    Callback callback;
    std::size_t index = 0;
    unsigned long long resets = 0;
    {
        Shared& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (calls_back) callback = s.callback;
        if (callback.function == nullptr) trace_locked(s, r);
        index = s.records.size();
        resets = s.resets;
        s.records.push_back(std::move(r));
    }
    if (callback.function != nullptr) {
        const int called_back = call_back(callback, index, resets);
        if (failure == STANDIN_FAIL_NONE) return called_back;
    }
    if (failure != STANDIN_FAIL_NONE) fail(failure, entry);
    if (injected == STANDIN_FAIL_BUSY_UNWALKABLE) fail(injected, entry);  // returns
    return result;
}

int record_fixed(const char* entry, std::initializer_list<const char*> args) {
    if (unrecorded_call()) return g_result.load(std::memory_order_relaxed);
    Record r(entry);
    r.args.reserve(args.size());
    for (const char* p : args) r.args.push_back(p ? Arg(p) : std::nullopt);
    return finish(std::move(r));
}

int record_int(const char* entry, int value) {
    if (unrecorded_call()) return g_result.load(std::memory_order_relaxed);
    Record r(entry);
    r.has_int = true;
    r.int_arg = value;
    return finish(std::move(r));
}

void arm_failure(int kind) { t_injected = kind; }

void expect_call(ExpectedCall expected) { t_expected() = std::move(expected); }

int expectation_mismatches() { return g_mismatches.load(std::memory_order_relaxed); }

const char* first_mismatch() {
    const std::string* text = g_first_mismatch.load();
    return text ? text->c_str() : nullptr;
}

void set_callback(Callback callback) {
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.callback = callback;
}

void reset_recording() {
    Shared& s = shared();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.records.clear();
        ++s.resets;
        s.callback = {};
        choose_trace(s.trace);
    }
    g_result.store(0, std::memory_order_relaxed);
    t_injected = STANDIN_FAIL_NONE;
    t_expected().reset();
}

}  // namespace standin_engine
