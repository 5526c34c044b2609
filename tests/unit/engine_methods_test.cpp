// Every engine method against the fake JNIEnv and the recording engine
// double: the exact JNI sequence, the exact argument list, every release,
// every result code. Driven from the library's method table, so the table is
// checked against what each method really does.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine_double.h"
#include "frame/call_frame.h"
#include "frame/result_codes.h"
#include "frame/variadic_call.h"
#include "methods/method_table.h"
#include "tests/unit/support/alloc_failure.h"
#include "tests/unit/support/fake_jni.h"
#include "tests/unit/support/processor_faults.h"
#include "tsapi_web.h"

namespace {

using engine_double::Argument;
using engine_double::Failure;
using fakejni::FakeJni;
using jweb::method_layout::Kind;
using jweb::method_layout::Token;

// A Java argument: a reference of any kind, or an int.
struct Param {
    jobject ref = nullptr;
    jint number = 0;
};

template <class P>
P as(const Param& p) {
    if constexpr (std::is_same_v<P, jint>)
        return p.number;
    else
        return static_cast<P>(p.ref);
}

using InvokeFunction = jint (*)(JNIEnv*, const std::vector<Param>&);

template <class... P, std::size_t... I>
jint invoke_with(jint(JNICALL* method)(JNIEnv*, jclass, P...), JNIEnv* env, const std::vector<Param>& params,
                 std::index_sequence<I...>) {
    return method(env, nullptr, as<P>(params[I])...);
}

template <auto Method>
jint invoke(JNIEnv* env, const std::vector<Param>& params) {
    return [&]<class... P>(jint(JNICALL*)(JNIEnv*, jclass, P...)) {
        return invoke_with(Method, env, params, std::index_sequence_for<P...>{});
    }(Method);
}

// The Java type a native method's C parameter stands for.
template <class P>
constexpr std::string_view java_type() {
    if constexpr (std::is_same_v<P, jstring>)
        return "String";
    else if constexpr (std::is_same_v<P, jobjectArray>)
        return "String[]";
    else if constexpr (std::is_same_v<P, jbyteArray>)
        return "byte[]";
    else if constexpr (std::is_same_v<P, jint>)
        return "int";
    else
        return "?";
}

// The method is an engine method of the table, and its native function takes
// the Java types of the row's layout, in order.
template <auto Method>
consteval bool has_the_layouts_types(std::string_view method) {
    return [&]<class... P>(jint(JNICALL*)(JNIEnv*, jclass, P...)) {
        const std::array<std::string_view, sizeof...(P)> types{java_type<P>()...};
        for (const jweb::MethodRow& row : jweb::method_table) {
            if (row.entry == nullptr || method != row.java_name) continue;
            std::size_t next = 0;
            for (const jweb::method_layout::Token token : jweb::method_layout::tokens(row.layout))
                if (!token.is_marker() && (next == types.size() || types[next++] != token.java_type())) return false;
            return next == types.size();
        }
        return false;
    }(Method);
}

struct Invoker {
    const char* method;
    InvokeFunction call;
};

// Checked as it compiles: a native function whose types are not its row's
// layout's, or a name not in the table, stops the build here.
template <auto Method>
consteval Invoker invoker(const char* method) {
    if (!has_the_layouts_types<Method>(method)) throw "the native function does not take its layout's types";
    return {method, invoke<Method>};
}

// One invoker per engine method, keyed by its Java name; entries and layouts
// come from the library's own table (methods/method_table.h). The native
// functions are named in C, so this list is the one place that pairs them
// with the rows; invoker() checks each pair against the table.
const Invoker invokers[] = {
    invoker<Java_tsapi_web_jweb_1initialize>("jweb_initialize"),
    invoker<Java_tsapi_web_jweb_1terminate>("jweb_terminate"),
    invoker<Java_tsapi_web_jweb_1cleanup_1cookies>("jweb_cleanup_cookies"),
    invoker<Java_tsapi_web_jweb_1cleanup_1auto_1headers>("jweb_cleanup_auto_headers"),
    invoker<Java_tsapi_web_jweb_1disable_1keep_1alive>("jweb_disable_keep_alive"),
    invoker<Java_tsapi_web_jweb_1enable_1keep_1alive>("jweb_enable_keep_alive"),
    invoker<Java_tsapi_web_jweb_1cache_1cleanup>("jweb_cache_cleanup"),
    invoker<Java_tsapi_web_jweb_1get_1int_1property>("jweb_get_int_property"),
    invoker<Java_tsapi_web_jweb_1old_1url>("jweb_old_url"),
    invoker<Java_tsapi_web_jweb_1set_1max_1html_1param_1len>("jweb_set_max_html_param_len"),
    invoker<Java_tsapi_web_jweb_1set_1proxy>("jweb_set_proxy"),
    invoker<Java_tsapi_web_jweb_1set_1secure_1proxy>("jweb_set_secure_proxy"),
    invoker<Java_tsapi_web_jweb_1set_1proxy_1bypass>("jweb_set_proxy_bypass"),
    invoker<Java_tsapi_web_jweb_1set_1connections_1limit>("jweb_set_connections_limit"),
    invoker<Java_tsapi_web_jweb_1add_1cookie>("jweb_add_cookie"),
    invoker<Java_tsapi_web_jweb_1remove_1cookie>("jweb_remove_cookie"),
    invoker<Java_tsapi_web_jweb_1set_1certificate>("jweb_set_certificate"),
    invoker<Java_tsapi_web_jweb_1revert_1auto_1header>("jweb_revert_auto_header"),
    invoker<Java_tsapi_web_jweb_1set_1max_1retries>("jweb_set_max_retries"),
    invoker<Java_tsapi_web_jweb_1set_1proxy_1bypass_1local>("jweb_set_proxy_bypass_local"),
    invoker<Java_tsapi_web_jweb_1set_1timeout>("jweb_set_timeout"),
    invoker<Java_tsapi_web_jweb_1add_1header>("jweb_add_header"),
    invoker<Java_tsapi_web_jweb_1add_1auto_1header>("jweb_add_auto_header"),
    invoker<Java_tsapi_web_jweb_1save_1header>("jweb_save_header"),
    invoker<Java_tsapi_web_jweb_1set_1sockets_1option>("jweb_set_sockets_option"),
    invoker<Java_tsapi_web_jweb_1setUser>("jweb_setUser"),
    invoker<Java_tsapi_web_jweb_1create_1html_1param>("jweb_create_html_param"),
    invoker<Java_tsapi_web_jweb_1set_1user>("jweb_set_user"),
    invoker<Java_tsapi_web_jweb_1create_1radio_1button_1param>("jweb_create_radio_button_param"),
    invoker<Java_tsapi_web_jweb_1create_1html_1param_1ex>("jweb_create_html_param_ex"),
    invoker<Java_tsapi_web_jweb_1url>("jweb_url"),
    invoker<Java_tsapi_web_jweb_1link>("jweb_link"),
    invoker<Java_tsapi_web_jweb_1set_1option>("jweb_set_option"),
    invoker<Java_tsapi_web_jweb_1image>("jweb_image"),
    invoker<Java_tsapi_web_jweb_1image_1check>("jweb_image_check"),
    invoker<Java_tsapi_web_jweb_1java_1check>("jweb_java_check"),
    invoker<Java_tsapi_web_jweb_1global_1verification>("jweb_global_verification"),
    invoker<Java_tsapi_web_jweb_1reg_1find>("jweb_reg_find"),
    invoker<Java_tsapi_web_jweb_1reg_1save_1param>("jweb_reg_save_param"),
    invoker<Java_tsapi_web_jweb_1remove_1auto_1header>("jweb_remove_auto_header"),
    invoker<Java_tsapi_web_jweb_1create_1html_1query>("jweb_create_html_query"),
    invoker<Java_tsapi_web_jweb_1old_1formSubmit>("jweb_old_formSubmit"),
    invoker<Java_tsapi_web_jweb_1set_1certificate_1ex>("jweb_set_certificate_ex"),
    invoker<Java_tsapi_web_jweb_1submit_1form>("jweb_submit_form"),
    invoker<Java_tsapi_web_jweb_1submit_1data>("jweb_submit_data"),
    invoker<Java_tsapi_web_jweb_1web_1find>("jweb_web_find"),
    invoker<Java_tsapi_web_jweb_1custom_1request>("jweb_custom_request"),
    invoker<Java_tsapi_web_jweb_1custom_1request2>("jweb_custom_request2"),
    invoker<Java_tsapi_web_jweb_1concurrent_1start>("jweb_concurrent_start"),
    invoker<Java_tsapi_web_jweb_1concurrent_1end>("jweb_concurrent_end"),
};

// A table row with its invoker; its layout is read as the library reads it
// (methods/method_layout.h).
struct Row {
    const char* method;
    const char* entry;
    const char* layout;
    InvokeFunction call;

    jweb::method_layout::Words<Token> tokens() const { return jweb::method_layout::tokens(layout); }
    bool is_list() const { return jweb::method_layout::contains(layout, {Kind::elements, Kind::elements_or_null}); }
    bool strings_last_first() const { return jweb::method_layout::contains(layout, {Kind::elements_or_null}); }
    bool refuses_null() const { return std::string(method) == "jweb_old_url"; }
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.method; }

const Invoker* invoker_for(std::string_view method) {
    for (const Invoker& i : invokers)
        if (method == i.method) return &i;
    return nullptr;
}

const std::vector<Row> rows = [] {
    std::vector<Row> r;
    for (const jweb::MethodRow& m : jweb::method_table)
        if (m.entry != nullptr)
            if (const Invoker* i = invoker_for(m.java_name)) r.push_back({m.java_name, m.entry, m.layout, i->call});
    return r;
}();

const Row& row_of(std::string_view method) {
    for (const Row& row : rows)
        if (method == row.method) return row;
    throw std::invalid_argument(std::string(method));
}

// The text utilities, String (String): behaviour in codec_methods_test.cpp.
const std::pair<const char*, jstring(JNICALL*)(JNIEnv*, jclass, jstring)> text_utilities[] = {
    {"jweb_util_url_encode", Java_tsapi_web_jweb_1util_1url_1encode},
    {"jweb_util_url_decode", Java_tsapi_web_jweb_1util_1url_1decode},
    {"jweb_util_base64encode", Java_tsapi_web_jweb_1util_1base64encode},
    {"jweb_util_base64decode", Java_tsapi_web_jweb_1util_1base64decode},
};

// The parameter types are checked as invokers compile (invoker()).
TEST(MethodTable, EveryRowHasItsNativeFunctionWithTheLayoutsParameterTypesAndViceVersa) {
    std::set<std::string> table_methods;
    std::set<std::string> table_text_utilities;
    for (const jweb::MethodRow& m : jweb::method_table) {
        if (m.entry == nullptr) {
            table_text_utilities.insert(m.java_name);
            continue;
        }
        table_methods.insert(m.java_name);
        EXPECT_NE(invoker_for(m.java_name), nullptr) << m.java_name << " has no invoker";
    }
    for (const Invoker& i : invokers)
        EXPECT_TRUE(table_methods.contains(i.method)) << i.method << " is not in the table";
    EXPECT_EQ(rows.size(), std::size(invokers));
    EXPECT_EQ(rows.size(), 50u);
    std::set<std::string> text_utility_names;
    for (const auto& [name, function] : text_utilities) text_utility_names.insert(name);
    EXPECT_EQ(table_text_utilities, text_utility_names);
}

enum class Scenario { typical, nulls, empty, null_elements, many_elements };

std::string name_of(Scenario s) {
    switch (s) {
        case Scenario::typical: return "typical";
        case Scenario::nulls: return "nulls";
        case Scenario::empty: return "empty";
        case Scenario::null_elements: return "null_elements";
        case Scenario::many_elements: return "many_elements";
    }
    return "?";
}

// One call's Java arguments, and everything the frame should do with them.
struct Plan {
    std::vector<Param> params;
    std::vector<std::string> lengths;  // GetArrayLength calls before the vector
    std::size_t elements = 0;          // elements of all string arrays
    std::vector<std::string> borrows;  // JNI calls of the filling, in order
    std::vector<std::string> string_releases;
    std::vector<std::string> element_releases;
    std::vector<Argument> engine_arguments;
    std::size_t borrow_count = 0;  // GetStringUTFChars calls

    std::vector<std::string> before_call(bool list) const {
        std::vector<std::string> calls = lengths;
        if (list && elements + 1 > 16) calls.push_back("EnsureLocalCapacity(" + std::to_string(elements + 1) + ")");
        calls.insert(calls.end(), borrows.begin(), borrows.end());
        return calls;
    }
    std::vector<std::string> releases() const {
        std::vector<std::string> calls = string_releases;
        calls.insert(calls.end(), element_releases.begin(), element_releases.end());
        return calls;
    }
    std::vector<std::string> whole_call(bool list) const {
        std::vector<std::string> calls = before_call(list);
        for (const auto& r : releases()) calls.push_back(r);
        return calls;
    }
};

Plan plan_for(const Row& row, Scenario scenario, FakeJni& jni) {
    Plan plan;
    int position = 0;
    std::vector<std::string> strings_released;
    for (const Token token : row.tokens()) {
        const std::string name = std::string(1, token.is_elements()        ? 'a'
                                                : token.kind == Kind::body ? 'b'
                                                                           : 's') +
                                 std::to_string(++position);
        if (token.kind == Kind::string) {
            if (scenario == Scenario::nulls) {
                plan.params.push_back({});
                plan.engine_arguments.push_back(std::nullopt);
                continue;
            }
            const std::string bytes = scenario == Scenario::empty ? "" : "value of " + name + " \xc3\xa9\xc0\x80";
            plan.params.push_back({jni.string(name, bytes)});
            plan.borrows.push_back("GetStringUTFChars(" + name + ")");
            strings_released.push_back("ReleaseStringUTFChars(" + name + ")");
            plan.engine_arguments.push_back(bytes);
            ++plan.borrow_count;
        } else if (token.kind == Kind::integer) {
            plan.params.push_back({nullptr, -7});
            plan.engine_arguments.push_back("-7");
        } else if (token.is_elements()) {
            std::vector<std::optional<std::string>> elements;
            switch (scenario) {
                case Scenario::typical: elements = {"Name=" + name, std::nullopt, "", "Value=\xe2\x82\xac"}; break;
                case Scenario::null_elements: elements = {std::nullopt}; break;
                case Scenario::many_elements:  // beyond the 16 free references, and the vector on the stack
                    for (std::size_t i = 0; i <= jweb::slots_on_stack; ++i)
                        elements.push_back(name + "#" + std::to_string(i));
                    break;
                default: break;
            }
            if (scenario == Scenario::nulls) {
                plan.params.push_back({});
            } else {
                plan.params.push_back({jni.string_array(name, elements)});
                plan.lengths.push_back("GetArrayLength(" + name + ")");
            }
            plan.elements += elements.size();
            if (elements.empty() && token.kind == Kind::elements_or_null) plan.engine_arguments.push_back(std::nullopt);
            for (std::size_t i = 0; i < elements.size(); ++i) {
                const std::string element = name + "[" + std::to_string(i) + "]";
                plan.borrows.push_back("GetObjectArrayElement(" + name + "," + std::to_string(i) + ")");
                if (elements[i]) {
                    plan.borrows.push_back("GetStringUTFChars(" + element + ")");
                    plan.element_releases.push_back("ReleaseStringUTFChars(" + element + ")");
                    ++plan.borrow_count;
                }
                plan.engine_arguments.push_back(elements[i]);
            }
        } else if (token.kind == Kind::body) {
            if (scenario == Scenario::nulls) {
                plan.params.push_back({});
                continue;
            }
            std::vector<unsigned char> body;
            if (scenario != Scenario::empty) body = {0x80, 0xff, 'x', 0x00, 'y'};
            plan.params.push_back({jni.byte_array(name, body)});
            plan.borrows.push_back("GetArrayLength(" + name + ")");
            plan.borrows.push_back("GetByteArrayRegion(" + name + ",0," + std::to_string(body.size()) + ")");
            plan.engine_arguments.push_back(scenario == Scenario::empty ? ""
                                                                        : "\x80\xff"
                                                                          "x");
        } else {
            plan.engine_arguments.push_back(std::string(token.word));  // a marker
        }
    }
    if (row.strings_last_first()) std::reverse(strings_released.begin(), strings_released.end());
    plan.string_releases = strings_released;
    return plan;
}

std::vector<std::string> with_abort(std::vector<std::string> calls) {
    calls.push_back("ExceptionCheck()");
    calls.push_back("FindClass(tsapi/exceptions/Abort)");
    calls.push_back("ThrowNew(tsapi/exceptions/Abort,null)");
    return calls;
}

class EngineMethods : public ::testing::Test {
protected:
    void SetUp() override {
        engine_double::clear();
        engine_double::bind_all();
    }
    void TearDown() override {
        engine_double::unbind_all();
        engine_double::clear();
    }

    jint call(const Row& row, const Plan& plan) {
        engine_double::expect_list_length(plan.engine_arguments.size());
        return row.call(jni.env(), plan.params);
    }

    void expect_engine_received(const Row& row, const Plan& plan) {
        ASSERT_EQ(engine_double::calls().size(), 1u);
        EXPECT_EQ(engine_double::calls()[0].entry, row.entry);
        EXPECT_EQ(engine_double::calls()[0].arguments, plan.engine_arguments);
    }

    FakeJni jni;
    const allocfail::Mark start = allocfail::mark();
};

// ---- every method, every argument shape ----

class EachMethodAndShape : public EngineMethods, public ::testing::WithParamInterface<std::tuple<Row, Scenario>> {};

TEST_P(EachMethodAndShape, BorrowsCallsAndReleasesInOrder) {
    const auto& [row, scenario] = GetParam();
    const Plan plan = plan_for(row, scenario, jni);
    engine_double::set_result(-31337);
    const jint result = call(row, plan);

    if (row.refuses_null() && scenario == Scenario::nulls) {
        EXPECT_EQ(result, jweb::JWEB_ERR_CALL);
        EXPECT_TRUE(engine_double::calls().empty());
    } else {
        EXPECT_EQ(result, -31337);
        expect_engine_received(row, plan);
    }
    EXPECT_EQ(jni.calls(), plan.whole_call(row.is_list()));
    EXPECT_EQ(jni.pending_exception(), "");
    EXPECT_EQ(jni.unreleased_borrows(), 0);
    EXPECT_EQ(allocfail::outstanding_since(start), 0);
}

INSTANTIATE_TEST_SUITE_P(All, EachMethodAndShape,
                         ::testing::Combine(::testing::ValuesIn(rows),
                                            ::testing::Values(Scenario::typical, Scenario::nulls, Scenario::empty,
                                                              Scenario::null_elements, Scenario::many_elements)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).method) + "_" +
                                    name_of(std::get<1>(info.param));
                         });

// ---- every method: unbound, failures, exhausted memory ----

class EachMethod : public EngineMethods, public ::testing::WithParamInterface<Row> {};

TEST_P(EachMethod, UnboundEntryMakesNoJniCallAtAll) {
    const Row& row = GetParam();
    const Plan plan = plan_for(row, Scenario::typical, jni);
    engine_double::unbind(row.entry);
    EXPECT_EQ(call(row, plan), jweb::JWEB_ERR_CALL);
    EXPECT_TRUE(engine_double::calls().empty());
    if (row.refuses_null())  // the one method that borrows before it looks
        EXPECT_EQ(jni.calls(), plan.whole_call(false));
    else
        EXPECT_EQ(jni.calls(), std::vector<std::string>{});
    EXPECT_EQ(jni.pending_exception(), "");
}

TEST_P(EachMethod, EveryKindOfEngineFailureBecomesAbortAfterTheLastRelease) {
    const Row& row = GetParam();
    for (Failure failure :
         {Failure::throw_int, Failure::throw_runtime_error, Failure::throw_unrelated, Failure::segv, Failure::fpe}) {
        if (failure == Failure::fpe && !processor_faults::division_by_zero_traps) continue;
        FakeJni fresh;
        const Plan plan = plan_for(row, Scenario::typical, fresh);
        engine_double::clear();
        engine_double::expect_list_length(plan.engine_arguments.size());
        engine_double::fail_next_call(failure);
        EXPECT_EQ(row.call(fresh.env(), plan.params), jweb::JWEB_ERR_CALL);
        expect_engine_received(row, plan);
        EXPECT_EQ(fresh.calls(), with_abort(plan.whole_call(row.is_list())));
        EXPECT_EQ(fresh.pending_exception(), "tsapi/exceptions/Abort(null)");
        EXPECT_EQ(fresh.unreleased_borrows(), 0);
        EXPECT_EQ(allocfail::outstanding_since(start), 0);
    }
}

// Java code the engine calls back throws, then the engine returns or fails:
// everything is released, no JNI call that a pending exception forbids is
// made, and the caller gets the callback's exception, never an Abort.
TEST_P(EachMethod, ExceptionFromJavaCalledBackIsWhatTheCallerSees) {
    const Row& row = GetParam();
    struct Case {
        Failure failure;
        std::vector<std::string> after_releases;
    };
    const std::vector<Case> cases = {
        {Failure::none, {}},
        {Failure::throw_runtime_error, {"ExceptionCheck()"}},
        {Failure::segv, {"ExceptionCheck()"}},
    };
    for (const Case& c : cases) {
        FakeJni fresh;
        const Plan plan = plan_for(row, Scenario::typical, fresh);
        engine_double::clear();
        engine_double::set_result(31);
        engine_double::expect_list_length(plan.engine_arguments.size());
        engine_double::call_back_next(
            [](void* fake) { static_cast<FakeJni*>(fake)->throw_from_java("java/lang/IllegalStateException"); },
            &fresh);
        engine_double::fail_next_call(c.failure);
        EXPECT_EQ(row.call(fresh.env(), plan.params), c.failure == Failure::none ? 31 : jweb::JWEB_ERR_CALL);
        expect_engine_received(row, plan);
        std::vector<std::string> expected = plan.whole_call(row.is_list());
        expected.insert(expected.end(), c.after_releases.begin(), c.after_releases.end());
        EXPECT_EQ(fresh.calls(), expected);
        EXPECT_EQ(fresh.pending_exception(), "java/lang/IllegalStateException");
        EXPECT_EQ(fresh.unreleased_borrows(), 0);
        EXPECT_EQ(allocfail::outstanding_since(start), 0);
    }
}

TEST_P(EachMethod, MissingAbortClassLeavesTheLookupFailurePending) {
    const Row& row = GetParam();
    const Plan plan = plan_for(row, Scenario::typical, jni);
    jni.abort_class_missing();
    engine_double::fail_next_call(Failure::segv);
    EXPECT_EQ(call(row, plan), jweb::JWEB_ERR_CALL);
    std::vector<std::string> expected = plan.whole_call(row.is_list());
    expected.push_back("ExceptionCheck()");
    expected.push_back("FindClass(tsapi/exceptions/Abort)");
    EXPECT_EQ(jni.calls(), expected);
    EXPECT_EQ(jni.pending_exception(), "java/lang/NoClassDefFoundError");
}

// A short list keeps its vector on the stack, so only a fixed list or a
// short one cannot run out; a long list's failed allocation borrows nothing.
TEST_P(EachMethod, FailedVectorAllocationBorrowsNothing) {
    const Row& row = GetParam();
    allocfail::fail_next_malloc();
    EXPECT_EQ(call(row, plan_for(row, Scenario::typical, jni)), 0);
    EXPECT_TRUE(allocfail::malloc_failure_armed());
    allocfail::disarm();
    if (!row.is_list()) return;
    FakeJni fresh;
    engine_double::clear();
    const Plan plan = plan_for(row, Scenario::many_elements, fresh);
    allocfail::fail_next_malloc();
    EXPECT_EQ(row.call(fresh.env(), plan.params), jweb::JWEB_ERR_NOMEM);
    EXPECT_TRUE(engine_double::calls().empty());
    // The lengths and the room for the references; nothing borrowed.
    const std::vector<std::string> before = plan.before_call(true);
    EXPECT_EQ(fresh.calls(), std::vector<std::string>(before.begin(), before.begin() + plan.lengths.size() + 1));
    EXPECT_EQ(fresh.pending_exception(), "");
}

TEST_P(EachMethod, BorrowHandingOutNoBytesStopsAtOnceAndReleasesWhatWasBorrowed) {
    const Row& row = GetParam();
    FakeJni probe;
    const std::size_t borrows = plan_for(row, Scenario::typical, probe).borrow_count;
    for (std::size_t k = 0; k < borrows; ++k) {
        FakeJni fresh;
        const Plan plan = plan_for(row, Scenario::typical, fresh);
        engine_double::clear();
        fresh.fail_borrow(static_cast<int>(k));
        EXPECT_EQ(row.call(fresh.env(), plan.params), jweb::JWEB_ERR_NOMEM) << "borrow " << k;
        EXPECT_TRUE(engine_double::calls().empty());
        EXPECT_EQ(fresh.pending_exception(), "java/lang/OutOfMemoryError");
        EXPECT_EQ(fresh.unreleased_borrows(), 0);
        EXPECT_EQ(allocfail::outstanding_since(start), 0);
        // Up to the failed borrow the calls are the usual ones; after it only releases.
        const std::vector<std::string> before = plan.before_call(row.is_list());
        std::size_t failed_at = 0;
        for (std::size_t seen = 0; failed_at < before.size(); ++failed_at)
            if (before[failed_at].starts_with("GetStringUTFChars") && seen++ == k) break;
        ASSERT_GE(fresh.calls().size(), failed_at + 1);
        EXPECT_EQ(std::vector<std::string>(fresh.calls().begin(), fresh.calls().begin() + failed_at + 1),
                  std::vector<std::string>(before.begin(), before.begin() + failed_at + 1));
        for (std::size_t i = failed_at + 1; i < fresh.calls().size(); ++i)
            EXPECT_TRUE(fresh.calls()[i].starts_with("ReleaseStringUTFChars")) << fresh.calls()[i];
    }
}

INSTANTIATE_TEST_SUITE_P(All, EachMethod, ::testing::ValuesIn(rows),
                         [](const auto& info) { return std::string(info.param.method); });

// ---- cases the table does not show by itself ----

TEST_F(EngineMethods, FailedBodyAllocationReleasesEverythingWithoutAnException) {
    const Row& row = row_of("jweb_custom_request2");
    const Plan plan = plan_for(row, Scenario::typical, jni);
    allocfail::fail_next_nothrow_new();
    EXPECT_EQ(call(row, plan), jweb::JWEB_ERR_NOMEM);
    EXPECT_TRUE(engine_double::calls().empty());
    EXPECT_EQ(jni.pending_exception(), "");
    EXPECT_EQ(jni.unreleased_borrows(), 0);
    EXPECT_EQ(allocfail::outstanding_since(start), 0);
    std::vector<std::string> expected = plan.before_call(true);
    expected.pop_back();  // the bytes are never copied
    for (const auto& r : plan.releases()) expected.push_back(r);
    EXPECT_EQ(jni.calls(), expected);
}

// Around 16 elements the reservation starts; around 128 arguments and each
// padded call's size (256 ... 8,192) the call changes its way. A list with a
// marker and one without, each at every such length.
TEST_F(EngineMethods, ListsOfEveryLengthReachTheEngineExactlyAndReserveOnlyBeyondTheGuaranteedSixteen) {
    std::vector<std::size_t> counts{15, 16, 17, 101};
    for (std::size_t size = jweb::typed_call_limit; size <= jweb::largest_padded_call; size *= 2)
        counts.insert(counts.end(), {size - 1, size, size + 1});
    for (std::size_t count : counts) {
        // web_set_certificate_ex: the elements, LAST.
        FakeJni marked;
        std::vector<std::optional<std::string>> elements(count - 1);
        for (std::size_t i = 0; i < elements.size(); ++i)
            if (i % 5 != 2) elements[i] = "e" + std::to_string(i);
        std::vector<Argument> expected(elements.begin(), elements.end());
        expected.push_back("LAST");
        engine_double::clear();
        ASSERT_EQ(Java_tsapi_web_jweb_1set_1certificate_1ex(marked.env(), nullptr, marked.string_array("a", elements)),
                  0);
        const bool reserved = marked.calls().size() > 1 && marked.calls()[1].starts_with("EnsureLocalCapacity");
        EXPECT_EQ(reserved, elements.size() + 1 > 16) << count;
        ASSERT_EQ(engine_double::calls().size(), 1u);
        EXPECT_EQ(engine_double::calls()[0].arguments, expected) << count;

        // web_concurrent_start: the name, the elements but one, the last string.
        FakeJni unmarked;
        elements.pop_back();
        expected.assign(1, "group");
        expected.insert(expected.end(), elements.begin(), elements.end());
        expected.push_back("end");
        engine_double::clear();
        engine_double::expect_list_length(count);
        ASSERT_EQ(
            Java_tsapi_web_jweb_1concurrent_1start(unmarked.env(), nullptr, unmarked.string("n", "group"),
                                                   unmarked.string_array("a", elements), unmarked.string("l", "end")),
            0);
        ASSERT_EQ(engine_double::calls().size(), 1u);
        EXPECT_EQ(engine_double::calls()[0].arguments, expected) << count;
        EXPECT_EQ(unmarked.unreleased_borrows(), 0);
    }
}

TEST_F(EngineMethods, ListsLongerThanOneReservationOpenAFrameForEachFurtherStep) {
    std::vector<std::optional<std::string>> elements(100'000, std::string("x"));
    jobjectArray array = jni.string_array("a", elements);
    ASSERT_EQ(Java_tsapi_web_jweb_1set_1certificate_1ex(jni.env(), nullptr, array), 0);
    std::vector<std::string> frames;
    std::size_t fetched_before_second = 0;
    for (const std::string& c : jni.calls()) {
        if (c.starts_with("EnsureLocalCapacity") || c.find("LocalFrame") != std::string::npos)
            frames.push_back(c);
        else if (c.starts_with("GetObjectArrayElement") && frames.size() == 1)
            ++fetched_before_second;
    }
    EXPECT_EQ(frames,
              (std::vector<std::string>{"EnsureLocalCapacity(65536)", "PushLocalFrame(34465)", "PopLocalFrame(null)"}));
    EXPECT_EQ(fetched_before_second, 65535u);
    EXPECT_EQ(jni.calls().back(), "PopLocalFrame(null)") << "frames close after the last release";
    EXPECT_EQ(engine_double::calls().at(0).arguments.size(), 100'001u);
}

TEST_F(EngineMethods, FailedReservationReturnsNoMemoryWithTheErrorPending) {
    std::vector<std::optional<std::string>> elements(40, std::string("x"));
    jobjectArray array = jni.string_array("a", elements);
    jni.fail_ensure_capacity();
    EXPECT_EQ(Java_tsapi_web_jweb_1set_1certificate_1ex(jni.env(), nullptr, array), jweb::JWEB_ERR_NOMEM);
    EXPECT_EQ(jni.calls(), (std::vector<std::string>{"GetArrayLength(a)", "EnsureLocalCapacity(41)"}));
    EXPECT_EQ(jni.pending_exception(), "java/lang/OutOfMemoryError");
    EXPECT_TRUE(engine_double::calls().empty());
}

TEST_F(EngineMethods, CustomRequestIsCustomRequest2WithoutBody) {
    jstring name = jni.string("n", "req");
    jstring method = jni.string("m", "GET");
    EXPECT_EQ(Java_tsapi_web_jweb_1custom_1request(jni.env(), nullptr, name, method, nullptr), 0);
    EXPECT_EQ(engine_double::calls().at(0).arguments, (std::vector<Argument>{"req", "GET", "LAST"}));
}

}  // namespace
