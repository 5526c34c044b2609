// The DLLs themselves, loaded as a host loads them: every engine method's
// argument list through jwebnative.dll into the stand-in TswReplayMain.dll,
// every failure kind caught three times in a row on one thread and on two
// threads at once, the codecs, DllMain, and the binding states: engine
// loaded first, absent, lacking web_revert_auto_header, loaded after the
// library. Suites are named by the state they need (main.cpp filters).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "dll_host.h"
#include "frame/result_codes.h"
#include "methods/method_table.h"
#include "standin_control.h"
#include "tests/unit/support/fake_jni.h"

namespace {

using Argument = std::optional<std::string>;  // nullopt: a null pointer
using fakejni::FakeJni;
namespace layout = jweb::method_layout;

constexpr jint not_bound = jweb::JWEB_ERR_CALL;
constexpr const char* abort_pending = "tsapi/exceptions/Abort(null)";

struct Host {
    std::string binding, library_path, engine_path, control_path;
    HMODULE library = nullptr;
    HMODULE engine = nullptr;
    HMODULE control = nullptr;  // the stand-in's control library, when given
} host;

void* function_in(HMODULE module, const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); }

// The stand-in's control functions, found in the loaded engine.
struct Standin {
    decltype(&standin_reset) reset;
    decltype(&standin_set_result) set_result;
    decltype(&standin_inject_failure) inject_failure;
    decltype(&standin_expect_list_length) expect_list_length;
    decltype(&standin_call_count) call_count;
    decltype(&standin_call_name) call_name;
    decltype(&standin_call_arg_count) call_arg_count;
    decltype(&standin_call_arg) call_arg;
    decltype(&standin_call_int_arg) call_int_arg;
    decltype(&standin_call_failure) call_failure;
} standin;

// The function `module` exports under `name` into `slot`; whether there is one.
template <class F>
bool find_function(HMODULE module, F& slot, const char* name) {
    slot = reinterpret_cast<F>(function_in(module, name));
    return slot != nullptr;
}

bool find_standin_functions() {
    bool all = true;
    auto find = [&all](auto& slot, const char* name) { all = find_function(host.engine, slot, name) && all; };
    find(standin.reset, "standin_reset");
    find(standin.set_result, "standin_set_result");
    find(standin.inject_failure, "standin_inject_failure");
    find(standin.expect_list_length, "standin_expect_list_length");
    find(standin.call_count, "standin_call_count");
    find(standin.call_name, "standin_call_name");
    find(standin.call_arg_count, "standin_call_arg_count");
    find(standin.call_arg, "standin_call_arg");
    find(standin.call_int_arg, "standin_call_int_arg");
    find(standin.call_failure, "standin_call_failure");
    return all;
}

struct Recorded {
    std::string entry;
    std::vector<Argument> arguments;  // web_get_int_property: its int, in decimal
    int failure;
};

Recorded recorded(int i) {
    Recorded r{standin.call_name(i) ? standin.call_name(i) : "?", {}, standin.call_failure(i)};
    int number = 0;
    if (standin.call_int_arg(i, &number) == 1) r.arguments.push_back(std::to_string(number));
    for (int k = 0; k < standin.call_arg_count(i); ++k) {
        const char* bytes = nullptr;
        std::size_t length = 0;
        if (standin.call_arg(i, k, &bytes, &length) == 1)
            r.arguments.push_back(std::string(bytes, length));
        else
            r.arguments.push_back(std::nullopt);
    }
    return r;
}

// ---- the 50 engine methods ----

// The library's own table of its methods; the 50 with an engine entry.
using Row = jweb::MethodRow;

const std::vector<Row> rows = [] {
    std::vector<Row> engine_methods;
    for (const Row& row : jweb::method_table)
        if (row.entry != nullptr) engine_methods.push_back(row);
    return engine_methods;
}();

const Row& row_of(std::string_view method) {
    for (const Row& row : rows)
        if (method == row.java_name) return row;
    throw std::logic_error("no such method");
}

// Java_tsapi_web_ and the method name with each underscore written _1.
std::string export_name(std::string_view method) {
    std::string name = "Java_tsapi_web_";
    for (char c : method) name += c == '_' ? std::string("_1") : std::string(1, c);
    return name;
}

struct Param {
    jobject ref = nullptr;
    std::optional<jint> number;
};

// One call's Java arguments, and the list the engine must receive.
struct Call {
    std::vector<Param> params;
    std::vector<Argument> engine_arguments;
};

enum class Values { typical, nulls };

Call make_call(const Row& row, Values values, FakeJni& jni) {
    Call call;
    int position = 0;
    for (const layout::Token token : layout::tokens(row.layout)) {
        const std::string name = std::string(1, token.is_elements()                ? 'a'
                                                : token.kind == layout::Kind::body ? 'b'
                                                                                   : 's') +
                                 std::to_string(++position);
        const bool null = values == Values::nulls;
        if (token.kind == layout::Kind::string) {
            const std::string bytes = "value of " + name + " \xc3\xa9\xc0\x80";
            call.params.push_back({null ? nullptr : jni.string(name, bytes), std::nullopt});
            call.engine_arguments.push_back(null ? Argument() : bytes);
        } else if (token.kind == layout::Kind::integer) {
            call.params.push_back({nullptr, -7});
            call.engine_arguments.push_back("-7");
        } else if (token.is_elements()) {
            const std::vector<Argument> elements = {"Name=" + name, std::nullopt, "", "Value=\xe2\x82\xac"};
            call.params.push_back({null ? nullptr : jni.string_array(name, elements), std::nullopt});
            if (!null) call.engine_arguments.insert(call.engine_arguments.end(), elements.begin(), elements.end());
            if (null && token.kind == layout::Kind::elements_or_null) call.engine_arguments.push_back(std::nullopt);
        } else if (token.kind == layout::Kind::body) {
            call.params.push_back({null ? nullptr : jni.byte_array(name, {0x80, 0xff, 'x', 0x00, 'y'}), std::nullopt});
            if (!null)
                call.engine_arguments.push_back(
                    "\x80\xff"
                    "x");  // up to the first NUL
        } else {
            call.engine_arguments.push_back(std::string(token.word));  // a marker
        }
    }
    return call;
}

// Calls the export through the type its parameters give: references, or the
// one int of jweb_get_int_property.
jint invoke(HMODULE library, const Row& row, JNIEnv* env, const std::vector<Param>& p) {
    void* f = function_in(library, export_name(row.java_name).c_str());
    if (f == nullptr) {
        ADD_FAILURE() << export_name(row.java_name) << " is not exported";
        return 0;
    }
    using J = jobject;
    switch (p.size()) {
        case 0: return reinterpret_cast<jint(JNICALL*)(JNIEnv*, jclass)>(f)(env, nullptr);
        case 1:
            if (p[0].number)
                return reinterpret_cast<jint(JNICALL*)(JNIEnv*, jclass, jint)>(f)(env, nullptr, *p[0].number);
            return reinterpret_cast<jint(JNICALL*)(JNIEnv*, jclass, J)>(f)(env, nullptr, p[0].ref);
        case 2: return reinterpret_cast<jint(JNICALL*)(JNIEnv*, jclass, J, J)>(f)(env, nullptr, p[0].ref, p[1].ref);
        case 3:
            return reinterpret_cast<jint(JNICALL*)(JNIEnv*, jclass, J, J, J)>(f)(env, nullptr, p[0].ref, p[1].ref,
                                                                                 p[2].ref);
        case 4:
            return reinterpret_cast<jint(JNICALL*)(JNIEnv*, jclass, J, J, J, J)>(f)(env, nullptr, p[0].ref, p[1].ref,
                                                                                    p[2].ref, p[3].ref);
    }
    ADD_FAILURE() << "no call shape for " << p.size() << " parameters";
    return 0;
}

// One call through the DLL into the engine; the engine answers `result` or
// fails with `failure`.
jint call_engine(const Row& row, const Call& call, FakeJni& jni, int failure = STANDIN_FAIL_NONE) {
    standin.expect_list_length(static_cast<int>(call.engine_arguments.size()));  // for lists without marker
    EXPECT_EQ(standin.inject_failure(failure), 0);
    return invoke(host.library, row, jni.env(), call.params);
}

// The call reached the engine with exactly this list and handed its result back.
void expect_reaches_engine(const Row& row) {
    for (Values values : {Values::typical, Values::nulls}) {
        SCOPED_TRACE(values == Values::typical ? "typical values" : "null references");
        FakeJni jni;
        const Call call = make_call(row, values, jni);
        standin.reset();
        standin.set_result(-31337);
        const jint result = call_engine(row, call, jni);
        if (values == Values::nulls && std::string_view(row.java_name) == "jweb_old_url") {
            EXPECT_EQ(result, not_bound);  // the one method that refuses a null string
            EXPECT_EQ(standin.call_count(), 0);
        } else {
            EXPECT_EQ(result, -31337);
            ASSERT_EQ(standin.call_count(), 1);
            const Recorded r = recorded(0);
            EXPECT_EQ(r.entry, row.entry);
            EXPECT_EQ(r.arguments, call.engine_arguments);
        }
        EXPECT_EQ(jni.pending_exception(), "");
        EXPECT_EQ(jni.unreleased_borrows(), 0);
    }
}

// Not bound: the result says so before any JNI call (jweb_old_url borrows
// its string first), and nothing reaches an engine.
void expect_not_bound(const Row& row) {
    FakeJni jni;
    const Call call = make_call(row, Values::typical, jni);
    EXPECT_EQ(invoke(host.library, row, jni.env(), call.params), not_bound);
    if (std::string_view(row.java_name) == "jweb_old_url")
        EXPECT_EQ(jni.calls(), (std::vector<std::string>{"GetStringUTFChars(s1)", "ReleaseStringUTFChars(s1)"}));
    else
        EXPECT_EQ(jni.calls(), std::vector<std::string>{});
    EXPECT_EQ(jni.pending_exception(), "");
}

std::string method_name(const testing::TestParamInfo<Row>& info) { return info.param.java_name; }

// ---- engine loaded first ----

class Methods : public testing::TestWithParam<Row> {};

TEST_P(Methods, ReachTheirEntryWithExactlyTheirArgumentList) { expect_reaches_engine(GetParam()); }

INSTANTIATE_TEST_SUITE_P(DllBound, Methods, testing::ValuesIn(rows), method_name);

struct Kind {
    int kind;
    const char* name;
};

void PrintTo(const Kind& kind, std::ostream* os) { *os << kind.name; }

// Stack overflow is left out: under Wine the dispatch of the overflow needs
// more stack than the guard page leaves, and the process ends
// (DllBoundStackOverflow runs it on Windows itself).
const Kind failure_kinds[] = {
    {STANDIN_FAIL_THROW_INT, "throw_int"},
    {STANDIN_FAIL_THROW_RUNTIME_ERROR, "throw_runtime_error"},
    {STANDIN_FAIL_THROW_UNRELATED, "throw_unrelated"},
    {STANDIN_FAIL_SEGV, "access_violation"},
    {STANDIN_FAIL_FPE, "divide_by_zero"},
    {STANDIN_FAIL_ILL, "illegal_instruction"},
    {STANDIN_FAIL_RAISE_FOREIGN, "raised_0xE06D7363"},
};

// A fixed call, a list, a list with a body, a list without marker.
constexpr const char* failing_methods[] = {"jweb_initialize", "jweb_set_timeout", "jweb_url", "jweb_custom_request2",
                                           "jweb_concurrent_start"};

// What one failed call must leave: the error code, every borrow given back,
// Abort raised after the last release. "" when it did; else what differed.
std::string check_failed_call(const Row& row, int kind) {
    FakeJni jni;
    const Call call = make_call(row, Values::typical, jni);
    const jint result = call_engine(row, call, jni, kind);
    std::ostringstream problems;
    if (result != not_bound) problems << " result " << result << ";";
    if (jni.pending_exception() != abort_pending) problems << " pending " << jni.pending_exception() << ";";
    if (jni.unreleased_borrows() != 0) problems << " " << jni.unreleased_borrows() << " borrows kept;";
    const auto& calls = jni.calls();
    if (calls.size() < 2 || calls[calls.size() - 2] != "FindClass(tsapi/exceptions/Abort)")
        problems << " Abort not raised last;";
    return problems.str().empty() ? "" : row.java_name + std::string(":") + problems.str();
}

class Failures : public testing::TestWithParam<Kind> {};

TEST_P(Failures, BecomeAbortThreeTimesInARowThenTheThreadCarriesOn) {
    const int kind = GetParam().kind;
    for (int round = 0; round < 3; ++round) {
        for (const char* method : failing_methods) {
            standin.reset();
            EXPECT_EQ(check_failed_call(row_of(method), kind), "") << "round " << round;
            ASSERT_EQ(standin.call_count(), 1);
            EXPECT_EQ(recorded(0).failure, kind);
        }
    }
    expect_reaches_engine(row_of("jweb_url"));
}

INSTANTIATE_TEST_SUITE_P(DllBound, Failures, testing::ValuesIn(failure_kinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DllBoundFailures, EveryKindOnTwoThreadsAtOnce) {
    standin.reset();
    standin.set_result(5);
    std::atomic<int> starting{2};
    auto worker = [&starting](std::vector<std::string>& problems) {
        --starting;
        while (starting.load() > 0) std::this_thread::yield();  // both in the engine at once
        for (int round = 0; round < 3; ++round) {
            for (const Kind& kind : failure_kinds) {
                for (const char* method : {"jweb_url", "jweb_set_timeout"}) {
                    const std::string problem = check_failed_call(row_of(method), kind.kind);
                    if (!problem.empty()) problems.push_back(kind.name + std::string(" ") + problem);
                }
            }
        }
        FakeJni jni;
        const Call call = make_call(row_of("jweb_url"), Values::typical, jni);
        if (call_engine(row_of("jweb_url"), call, jni) != 5) problems.push_back("no result after the failures");
    };
    std::vector<std::string> first, second;
    std::thread a(worker, std::ref(first));
    std::thread b(worker, std::ref(second));
    a.join();
    b.join();
    EXPECT_EQ(first, std::vector<std::string>{});
    EXPECT_EQ(second, std::vector<std::string>{});
    EXPECT_EQ(standin.call_count(), 2 * (3 * 7 * 2 + 1));
}

bool under_wine() { return function_in(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// The control library's natives, called as tsapi.standin.Engine's static
// methods are: the class argument is not used.
struct Control {
    void(JNICALL* reset)(JNIEnv*, jclass);
    void(JNICALL* set_result)(JNIEnv*, jclass, jint);
    void(JNICALL* inject_failure)(JNIEnv*, jclass, jint);
    void(JNICALL* expect_list_length)(JNIEnv*, jclass, jint);
    jint(JNICALL* call_count)(JNIEnv*, jclass);
    jstring(JNICALL* call_name)(JNIEnv*, jclass, jint);
};

Control control_natives() {
    Control c{};
    auto find = [](auto& slot, const char* name) { EXPECT_TRUE(find_function(host.control, slot, name)) << name; };
    find(c.reset, "Java_tsapi_standin_Engine_reset");
    find(c.set_result, "Java_tsapi_standin_Engine_setResult");
    find(c.inject_failure, "Java_tsapi_standin_Engine_injectFailure");
    find(c.expect_list_length, "Java_tsapi_standin_Engine_expectListLength");
    find(c.call_count, "Java_tsapi_standin_Engine_callCount");
    find(c.call_name, "Java_tsapi_standin_Engine_callName");
    return c;
}

// As a script rehearses its failure handling: each kind set through the
// control library, then a tsapi.web call that becomes Abort; then the kind
// set and cleared, and a result chosen, which the next call hands back.
TEST(DllBoundControl, EveryWindowsKindSetAndClearedThroughTheControlLibrary) {
    ASSERT_NE(host.control, nullptr) << "no --control=DLL given";
    const Control control = control_natives();
    ASSERT_FALSE(HasFailure());
    const Row& row = row_of("jweb_url");
    for (const Kind& kind : failure_kinds) {
        SCOPED_TRACE(kind.name);
        {
            FakeJni jni;
            const Call call = make_call(row, Values::typical, jni);
            control.reset(jni.env(), nullptr);
            control.inject_failure(jni.env(), nullptr, kind.kind);
            ASSERT_EQ(jni.pending_exception(), "");
            EXPECT_EQ(invoke(host.library, row, jni.env(), call.params), not_bound);
            EXPECT_EQ(jni.pending_exception(), abort_pending);
            jni.clear_pending_exception();
            EXPECT_EQ(control.call_count(jni.env(), nullptr), 1);
            EXPECT_EQ(recorded(0).failure, kind.kind);
        }
        FakeJni jni;
        const Call call = make_call(row, Values::typical, jni);
        control.reset(jni.env(), nullptr);
        control.inject_failure(jni.env(), nullptr, kind.kind);
        control.inject_failure(jni.env(), nullptr, STANDIN_FAIL_NONE);
        control.set_result(jni.env(), nullptr, 77);
        EXPECT_EQ(invoke(host.library, row, jni.env(), call.params), 77);
        EXPECT_EQ(jni.pending_exception(), "");
        EXPECT_EQ(recorded(0).failure, STANDIN_FAIL_NONE);
        // The record, read back as Engine.lastCall().name does.
        ASSERT_EQ(control.call_count(jni.env(), nullptr), 1);
        EXPECT_EQ(jni.string_bytes(control.call_name(jni.env(), nullptr, 0)), "web_url");
    }
}

// The trace in each format, written by the Windows engine (its environment
// is read again at each reset): the same call, the thread as
// GetCurrentThreadId() gives it.
std::string last_line_of(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "(no file " + path + ")";
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.find_last_of('\n') + 1);
}

TEST(DllBoundTrace, EachFormatWritesTheCallAndItsThread) {
    const Row& row = row_of("jweb_add_cookie");
    const std::string thread = std::to_string(GetCurrentThreadId());
    std::string text_line;
    for (const char* format : {"text", "text-tid", "json"}) {
        SCOPED_TRACE(format);
        const std::string path = std::string("trace-") + format + ".txt";
        std::remove(path.c_str());
        _putenv_s("TSW_STANDIN_TRACE", path.c_str());
        _putenv_s("TSW_STANDIN_TRACE_FORMAT", format);
        standin.reset();
        standin.set_result(77);
        FakeJni jni;
        const Call call = make_call(row, Values::typical, jni);
        EXPECT_EQ(invoke(host.library, row, jni.env(), call.params), 77);
        const std::string line = last_line_of(path);
        const std::string format_name = format;
        if (format_name == "text") {
            text_line = line;
            EXPECT_TRUE(line.starts_with("web_add_cookie(\"") && line.ends_with("\") = 77")) << line;
        } else if (format_name == "text-tid") {
            EXPECT_EQ(line, "[tid " + thread + "] " + text_line);
        } else {
            const std::vector<std::string> parts = {"{\"v\":1,", "\"entry\":\"web_add_cookie\"",
                                                    "\"thread\":" + thread + ",", "\"result\":77}"};
            for (const std::string& part : parts)
                EXPECT_NE(line.find(part), std::string::npos) << part << " not in " << line;
        }
        std::remove(path.c_str());
    }
    _putenv_s("TSW_STANDIN_TRACE", "");
    _putenv_s("TSW_STANDIN_TRACE_FORMAT", "");
    standin.reset();
}

TEST(DllBoundStackOverflow, IsCaughtThreeTimesInARow) {
    if (under_wine()) GTEST_SKIP() << "Wine's dispatch of a stack overflow needs more stack than is left";
    for (int round = 0; round < 3; ++round) {
        standin.reset();
        EXPECT_EQ(check_failed_call(row_of("jweb_initialize"), STANDIN_FAIL_STACK_OVERFLOW), "") << round;
    }
}

TEST(DllBoundFailures, EngineRefusesTheKindsWindowsLacks) {
    const std::pair<int, int> kinds[] = {
        {STANDIN_FAIL_BUS, -1},
        {STANDIN_FAIL_THREAD_EXIT, -1},
        {STANDIN_FAIL_RAISE_FOREIGN, 0},
        {STANDIN_FAIL_CALL_BACK, 0},
        {STANDIN_FAIL_OVERRUN, 0},
        {STANDIN_FAIL_SEGV_ON_ENGINE_THREAD, -1},
        {STANDIN_FAIL_BLOCK_FAULTS_THEN_SEGV, -1},
        {STANDIN_FAIL_THROW_THROUGH_C_FRAME, -1},
    };
    for (const auto& [kind, answer] : kinds) {
        EXPECT_EQ(standin.inject_failure(kind), answer) << kind;
        EXPECT_EQ(standin.inject_failure(STANDIN_FAIL_NONE), 0);  // none of them may run here
    }
}

TEST(DllBoundLoader, DllMainAnswersOneForEveryReasonAndKeepsTheBinding) {
    using DllMainFunction = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
    const auto dll_main = reinterpret_cast<DllMainFunction>(function_in(host.library, "DllMain"));
    ASSERT_NE(dll_main, nullptr);
    for (DWORD reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_ATTACH, DLL_PROCESS_DETACH})
        EXPECT_EQ(dll_main(host.library, reason, nullptr), TRUE) << reason;
    std::thread([] {}).join();  // the loader's own thread attach and detach
    expect_reaches_engine(row_of("jweb_initialize"));
    expect_reaches_engine(row_of("jweb_revert_auto_header"));
}

// ---- engine absent ----

class AbsentEngine : public testing::TestWithParam<Row> {};

TEST_P(AbsentEngine, EveryEngineMethodAnswersNotBound) {
    ASSERT_EQ(GetModuleHandleA("TswReplayMain.dll"), nullptr);
    expect_not_bound(GetParam());
}

INSTANTIATE_TEST_SUITE_P(DllAbsent, AbsentEngine, testing::ValuesIn(rows), method_name);

// ---- engine without web_revert_auto_header ----

class EngineWithoutRevert : public testing::TestWithParam<Row> {};

TEST_P(EngineWithoutRevert, OnlyTheMissingEntryAnswersNotBound) {
    const Row& row = GetParam();
    if (std::string_view(row.entry) != "web_revert_auto_header") {
        expect_reaches_engine(row);
        return;
    }
    ASSERT_EQ(function_in(host.engine, "web_revert_auto_header"), nullptr);
    standin.reset();
    expect_not_bound(row);
    EXPECT_EQ(standin.call_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(DllNoRevert, EngineWithoutRevert, testing::ValuesIn(rows), method_name);

// ---- engine loaded after the library ----

TEST(DllLate, EngineLoadedAfterTheLibraryIsNeverSeenUntilTheLibraryIsLoadedAgain) {
    standin.reset();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.java_name);
        expect_not_bound(row);
    }
    EXPECT_EQ(standin.call_count(), 0);

    // Unloaded and loaded again, the library starts unbound and binds anew.
    ASSERT_TRUE(FreeLibrary(host.library));
    ASSERT_EQ(GetModuleHandleA("jwebnative.dll"), nullptr);
    host.library = LoadLibraryA(host.library_path.c_str());
    ASSERT_NE(host.library, nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.java_name);
        expect_reaches_engine(row);
    }
}

// ---- the codecs, whatever the engine ----

struct CodecVector {
    const char* method;
    std::string input;
    std::string output;
};

TEST(DllAnyBindingCodecs, Vectors) {
    const CodecVector vectors[] = {
        {"jweb_util_base64encode", "", ""},
        {"jweb_util_base64encode", "f", "Zg=="},
        {"jweb_util_base64encode", "fo", "Zm8="},
        {"jweb_util_base64encode", "foo", "Zm9v"},
        {"jweb_util_base64encode", "foob", "Zm9vYg=="},
        {"jweb_util_base64encode", "fooba", "Zm9vYmE="},
        {"jweb_util_base64encode", "foobar", "Zm9vYmFy"},
        {"jweb_util_base64encode", "abcd\xC3\xA9", "YWJjZMOp"},
        {"jweb_util_base64decode", "Zg==", "f"},
        {"jweb_util_base64decode", "Zm8=", "fo"},
        {"jweb_util_base64decode", "Zm9vYmFy", "foobar"},
        {"jweb_util_base64decode", "YWJjZMOp", "abcd\xC3\xA9"},
        {"jweb_util_url_encode", "a b+\xC3\xA9\xC0\x80_Z9", "a+b%2b%c3%a9%c0%80_Z9"},
        {"jweb_util_url_decode", "a+b%2b%c3%a9%c0%80_Z9", "a b+\xC3\xA9\xC0\x80_Z9"},
        {"jweb_util_url_encode", "", ""},
        {"jweb_util_url_decode", "", ""},
    };
    for (const CodecVector& v : vectors) {
        SCOPED_TRACE(std::string(v.method) + " " + fakejni::c_quoted(v.input));
        using Codec = jstring(JNICALL*)(JNIEnv*, jclass, jstring);
        const auto codec = reinterpret_cast<Codec>(function_in(host.library, export_name(v.method).c_str()));
        ASSERT_NE(codec, nullptr);
        FakeJni jni;
        const jstring result = codec(jni.env(), nullptr, jni.string("s", v.input));
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(jni.string_bytes(result), v.output);
        EXPECT_EQ(jni.pending_exception(), "");
        EXPECT_EQ(jni.unreleased_borrows(), 0);
    }
}

}  // namespace

namespace dll_host {

std::string start(const std::string& binding, const std::string& library_path, const std::string& engine_path,
                  const std::string& control_path) {
    host = {binding, library_path, engine_path, control_path};
    auto load = [](const std::string& path, HMODULE& module) -> std::string {
        module = LoadLibraryA(path.c_str());
        return module ? "" : "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    };
    std::string error;
    if (binding == "loaded" || binding == "no_revert") {
        error = load(engine_path, host.engine);
        if (error.empty()) error = load(library_path, host.library);
    } else if (binding == "absent") {
        error = load(library_path, host.library);
    } else if (binding == "loaded_later") {
        error = load(library_path, host.library);
        if (error.empty()) error = load(engine_path, host.engine);
    } else {
        return "unknown binding " + binding;
    }
    if (error.empty() && !control_path.empty()) error = load(control_path, host.control);
    if (error.empty() && host.engine != nullptr && !find_standin_functions())
        error = engine_path + " lacks the stand-in's control functions";
    return error;
}

std::string test_filter() {
    const std::string suite = host.binding == "loaded"      ? "DllBound"
                              : host.binding == "absent"    ? "DllAbsent"
                              : host.binding == "no_revert" ? "DllNoRevert"
                                                            : "DllLate";
    return "DllAnyBinding*:" + suite + "*";
}

}  // namespace dll_host
