// The standin_* control functions of standin_control.h: what tests call to
// steer the engine and to read its record back. The C API's shape and its
// checks of arguments change here; what they steer lives with each concept.

#include <cstddef>
#include <mutex>
#include <utility>

#include "failures.h"
#include "list_reading.h"
#include "recording.h"
#include "standin_control.h"
#include "thread_identity.h"

using namespace standin_engine;

namespace {

// Runs f on record i under the lock; `missing` when there is no record i.
template <class F, class T>
T with_record(int i, T missing, F f) {
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (i < 0 || static_cast<std::size_t>(i) >= s.records.size()) return missing;
    return f(s.records[static_cast<std::size_t>(i)]);
}

}  // namespace

extern "C" {

STANDIN_API void standin_reset(void) {
    reset_recording();
    reset_list_reading();
    reset_failures();
    reread_thread_names();
}

STANDIN_API void standin_set_result(int result) { g_result.store(result, std::memory_order_relaxed); }

STANDIN_API int standin_inject_failure(int kind) {
    if (!failure_available(kind)) return -1;
    arm_failure(kind);
    return 0;
}

STANDIN_API void standin_set_callback(int (*callback)(void* context), void* context) {
    set_callback(callback ? Callback{callback, context} : Callback{});
}

STANDIN_API int standin_set_overrun_bytes(int n) {
    if (n < 16) return -1;
    set_overrun_bytes(n);
    return 0;
}

STANDIN_API int standin_limit_address_space(int on) { return limit_address_space(on != 0); }

STANDIN_API int standin_crash_reports(void) { return crash_reports(); }

STANDIN_API int standin_expect_call(const char* entry, int count, const char* const* args, const size_t* lengths,
                                    int result) {
    if (entry == nullptr || count < 0 || (count > 0 && (args == nullptr || lengths == nullptr))) return -1;
    ExpectedCall expected{entry, {}, result};
    expected.args.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k)
        expected.args.push_back(args[k] ? Arg(std::in_place, args[k], lengths[k]) : std::nullopt);
    expect_call(std::move(expected));
    return 0;
}

STANDIN_API int standin_expectation_mismatches(void) { return expectation_mismatches(); }

STANDIN_API const char* standin_first_mismatch(void) { return first_mismatch(); }

STANDIN_API int standin_expect_list_length(int n) {
    if (n < 0) return -1;
    announce_list_length(n);
    return 0;
}

STANDIN_API int standin_set_list_cap(int cap) {
    if (cap < 0) return -1;
    set_list_cap(cap);
    return 0;
}

STANDIN_API void standin_set_checked_reads(int on) { set_checked_reads(on != 0); }

STANDIN_API long long standin_current_thread_id(void) { return current_tid(); }

STANDIN_API int standin_call_count(void) {
    Shared& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(s.records.size());
}

STANDIN_API const char* standin_call_name(int i) {
    return with_record(i, static_cast<const char*>(nullptr), [](const Record& r) { return r.name; });
}

STANDIN_API long long standin_call_thread_id(int i) {
    return with_record(i, -1LL, [](const Record& r) { return r.thread_id; });
}

STANDIN_API const char* standin_call_thread_name(int i) {
    return with_record(i, static_cast<const char*>(nullptr), [](const Record& r) { return r.thread_name.c_str(); });
}

STANDIN_API int standin_call_arg_count(int i) {
    return with_record(i, -1, [](const Record& r) { return static_cast<int>(r.args.size()); });
}

STANDIN_API int standin_call_arg(int i, int k, const char** bytes, std::size_t* length) {
    return with_record(i, -1, [&](const Record& r) {
        if (k < 0 || static_cast<std::size_t>(k) >= r.args.size()) return -1;
        const Arg& a = r.args[static_cast<std::size_t>(k)];
        if (bytes) *bytes = a ? a->data() : nullptr;
        if (length) *length = a ? a->size() : 0;
        return a ? 1 : 0;
    });
}

STANDIN_API int standin_call_int_arg(int i, int* value) {
    return with_record(i, -1, [&](const Record& r) {
        if (r.has_int && value) *value = r.int_arg;
        return r.has_int ? 1 : 0;
    });
}

STANDIN_API int standin_call_result(int i, int* value) {
    return with_record(i, -1, [&](const Record& r) {
        const bool returned = r.failure == STANDIN_FAIL_NONE;
        if (returned && value) *value = r.result;
        return returned ? 1 : 0;
    });
}

STANDIN_API int standin_call_failure(int i) {
    return with_record(i, -1, [](const Record& r) { return r.failure; });
}

STANDIN_API int standin_call_list_status(int i) {
    return with_record(i, -1, [](const Record& r) { return r.list_status; });
}

}  // extern "C"
