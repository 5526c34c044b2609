// Checks that the fake JNIEnv and the allocation hooks catch the faults they
// exist to catch, and accept correct use without complaint.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/unit/support/alloc_failure.h"
#include "tests/unit/support/fake_jni.h"
#include "tests/unit/support/jni_slots.h"

namespace fakejni {
namespace {

// The functions the fake implements; every other slot must report misuse.
const std::set<std::string_view> implemented = {
    "FindClass",           "ThrowNew",
    "GetStringUTFChars",   "ReleaseStringUTFChars",
    "GetArrayLength",      "GetObjectArrayElement",
    "GetByteArrayRegion",  "NewStringUTF",
    "EnsureLocalCapacity", "PushLocalFrame",
    "PopLocalFrame",       "ExceptionCheck",
};

// The messages of the gtest failures `f` reports (intercepted, so they do not
// fail the running test).
std::vector<std::string> failures_in(const std::function<void()>& f) {
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        f();
    }
    std::vector<std::string> messages;
    for (int i = 0; i < results.size(); ++i) {
        messages.push_back(results.GetTestPartResult(i).message());
    }
    return messages;
}

// Expects exactly one failure per entry of `expected`, the i-th containing
// expected[i].
void expect_failures(const std::vector<std::string>& actual, const std::vector<std::string>& expected,
                     const std::string& label) {
    ASSERT_EQ(actual.size(), expected.size()) << label << ": got " << ::testing::PrintToString(actual);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NE(actual[i].find(expected[i]), std::string::npos)
            << label << ": failure " << i << " is \"" << actual[i] << "\", expected it to contain \"" << expected[i]
            << "\"";
    }
}

// Calls a table slot with zero/null for every argument after the JNIEnv
// (JNICALL: on 32-bit Windows the slots are __stdcall).
template <typename R, typename... Args>
void call_with_zeros(R(JNICALL* fn)(JNIEnv*, Args...), JNIEnv* env) {
    fn(env, Args{}...);
}
template <typename R, typename... Args>
void call_with_zeros(R(JNICALL* fn)(JNIEnv*, Args..., ...), JNIEnv* env) {
    fn(env, Args{}...);
}

jstring as_string(jobject o) { return static_cast<jstring>(o); }

TEST(FakeJniTable, FillsEveryFunctionSlotAndLeavesReservedOnesNull) {
    FakeJni fake;
    const JNINativeInterface_* table = fake.env()->functions;
    EXPECT_EQ(table->reserved0, nullptr);
    EXPECT_EQ(table->reserved1, nullptr);
    EXPECT_EQ(table->reserved2, nullptr);
    EXPECT_EQ(table->reserved3, nullptr);
    std::size_t filled = 0;
    std::set<std::string_view> names;
    JniFunctionSlots::for_each([&](auto slot) {
        using S = decltype(slot);
        EXPECT_NE(table->*S::member, nullptr) << S::name;
        ++filled;
        names.insert(S::name);
    });
    EXPECT_EQ(filled, JniFunctionSlots::size);
    EXPECT_EQ(names.size(), JniFunctionSlots::size);
    for (std::string_view name : implemented) {
        EXPECT_EQ(names.count(name), 1u) << name;
    }
}

TEST(FakeJniTable, EveryOtherFunctionReportsItsNameAndReturnsZero) {
    std::size_t checked = 0;
    JniFunctionSlots::for_each([&](auto slot) {
        using S = decltype(slot);
        if (implemented.count(S::name) != 0) return;
        FakeJni fake;
        JNIEnv* env = fake.env();
        const auto failures = failures_in([&] { call_with_zeros(env->functions->*S::member, env); });
        expect_failures(failures, {std::string("the library called ") + S::name + ","}, S::name);
        ASSERT_EQ(fake.calls().size(), 1u) << S::name;
        EXPECT_EQ(fake.calls()[0], std::string(S::name) + "(...)");
        ++checked;
    });
    EXPECT_EQ(checked, JniFunctionSlots::size - implemented.size());
}

TEST(FakeJniTable, ForbiddenFunctionReturnsZeroValue) {
    FakeJni fake;
    JNIEnv* env = fake.env();
    jint version = -1;
    jobject object = reinterpret_cast<jobject>(&version);
    jthrowable thrown = reinterpret_cast<jthrowable>(&version);
    EXPECT_NONFATAL_FAILURE(version = env->GetVersion(), "GetVersion");
    EXPECT_NONFATAL_FAILURE(object = env->NewGlobalRef(nullptr), "NewGlobalRef");
    EXPECT_NONFATAL_FAILURE(thrown = env->ExceptionOccurred(), "ExceptionOccurred");
    EXPECT_EQ(version, 0);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(thrown, nullptr);
}

TEST(FakeJniTable, VariadicForbiddenFunctionReports) {
    FakeJni fake;
    JNIEnv* env = fake.env();
    EXPECT_NONFATAL_FAILURE(env->CallStaticVoidMethod(nullptr, nullptr, 1, 2.0), "CallStaticVoidMethod");
}

// Sets up a fake with an exception pending, in one of the ways it can be.
struct PendingSource {
    const char* label;
    std::function<void(FakeJni&)> raise;
    const char* pending;
};

const std::vector<PendingSource>& pending_sources() {
    static const std::vector<PendingSource> sources = {
        {"failed borrow",
         [](FakeJni& f) {
             f.fail_borrow(0);
             EXPECT_EQ(f.env()->GetStringUTFChars(f.string("s", "x"), nullptr), nullptr);
         },
         "java/lang/OutOfMemoryError"},
        {"missing class",
         [](FakeJni& f) {
             f.abort_class_missing();
             EXPECT_EQ(f.env()->FindClass(abort_class_name), nullptr);
         },
         "java/lang/NoClassDefFoundError"},
        {"failed EnsureLocalCapacity",
         [](FakeJni& f) {
             f.fail_ensure_capacity();
             EXPECT_LT(f.env()->EnsureLocalCapacity(20), 0);
         },
         "java/lang/OutOfMemoryError"},
        {"ThrowNew without message",
         [](FakeJni& f) {
             JNIEnv* env = f.env();
             EXPECT_EQ(env->ThrowNew(env->FindClass(abort_class_name), nullptr), JNI_OK);
         },
         "tsapi/exceptions/Abort(null)"},
        {"ThrowNew with message",
         [](FakeJni& f) {
             JNIEnv* env = f.env();
             EXPECT_EQ(env->ThrowNew(env->FindClass(abort_class_name), "bad url"), JNI_OK);
         },
         "tsapi/exceptions/Abort(bad url)"},
        {"Java code called back", [](FakeJni& f) { f.throw_from_java("java/lang/IllegalStateException"); },
         "java/lang/IllegalStateException"},
    };
    return sources;
}

TEST(FakeJniPending, EachSourceLeavesTheExpectedException) {
    for (const PendingSource& source : pending_sources()) {
        FakeJni fake;
        EXPECT_EQ(fake.pending_exception(), "");
        EXPECT_EQ(fake.env()->ExceptionCheck(), JNI_FALSE);
        source.raise(fake);
        EXPECT_EQ(fake.pending_exception(), source.pending) << source.label;
        fake.clear_calls();
        EXPECT_EQ(fake.env()->ExceptionCheck(), JNI_TRUE) << source.label;
        EXPECT_EQ(fake.calls(), std::vector<std::string>{"ExceptionCheck()"});
        fake.clear_pending_exception();
        EXPECT_EQ(fake.pending_exception(), "") << source.label;
    }
}

// Calls of the implemented functions, each forbidden with an exception
// pending.
struct Call {
    const char* label;
    std::function<void(FakeJni&)> call;
};

const std::vector<Call>& calls_forbidden_while_pending() {
    static const std::vector<Call> calls = {
        {"FindClass", [](FakeJni& f) { f.env()->FindClass(abort_class_name); }},
        {"ThrowNew",
         [](FakeJni& f) {
             // The class is looked up before the exception is raised.
             f.env()->ThrowNew(nullptr, "x");
         }},
        {"GetStringUTFChars",
         [](FakeJni& f) {
             jstring s = f.string("t", "y");
             const char* c = f.env()->GetStringUTFChars(s, nullptr);
             if (c != nullptr) f.env()->ReleaseStringUTFChars(s, c);
         }},
        {"GetArrayLength", [](FakeJni& f) { f.env()->GetArrayLength(f.byte_array("b", {1})); }},
        {"GetObjectArrayElement", [](FakeJni& f) { f.env()->GetObjectArrayElement(f.string_array("a", {"x"}), 0); }},
        {"GetByteArrayRegion",
         [](FakeJni& f) {
             jbyte buffer[1];
             f.env()->GetByteArrayRegion(f.byte_array("b", {1}), 0, 1, buffer);
         }},
        {"NewStringUTF", [](FakeJni& f) { f.env()->NewStringUTF("z"); }},
        {"EnsureLocalCapacity", [](FakeJni& f) { f.env()->EnsureLocalCapacity(4); }},
        {"GetVersion (also forbidden outright)", [](FakeJni& f) { f.env()->GetVersion(); }},
    };
    return calls;
}

TEST(FakeJniPending, ForbiddenCallsWhilePendingFail) {
    for (const PendingSource& source : pending_sources()) {
        for (const Call& call : calls_forbidden_while_pending()) {
            const std::string label = std::string(source.label) + " / " + call.label;
            std::vector<std::string> failures;
            {
                FakeJni fake;
                source.raise(fake);
                failures = failures_in([&] { call.call(fake); });
            }
            // ThrowNew(null class) is misuse of its own, reported second.
            std::vector<std::string> expected = {std::string(source.pending) + " is pending"};
            if (std::string_view(call.label) == "ThrowNew") {
                expected.push_back("null reference");
            }
            expect_failures(failures, expected, label);
        }
    }
}

TEST(FakeJniPending, ReleaseWhilePendingIsAllowed) {
    FakeJni fake;
    JNIEnv* env = fake.env();
    jstring s = fake.string("s", "abc");
    fake.fail_borrow(1);
    const char* chars = env->GetStringUTFChars(s, nullptr);
    ASSERT_NE(chars, nullptr);
    EXPECT_EQ(env->GetStringUTFChars(s, nullptr), nullptr);
    EXPECT_EQ(fake.pending_exception(), "java/lang/OutOfMemoryError");
    env->ReleaseStringUTFChars(s, chars);  // must not report
    EXPECT_EQ(fake.unreleased_borrows(), 0);
}

TEST(FakeJniPending, ForbiddenFunctionsAllowedWhilePendingDoNotMentionIt) {
    // Still forbidden for the library, but JNI allows them while pending.
    const std::vector<Call> calls = {
        {"ExceptionOccurred", [](FakeJni& f) { f.env()->ExceptionOccurred(); }},
        {"ExceptionClear", [](FakeJni& f) { f.env()->ExceptionClear(); }},
        {"DeleteLocalRef", [](FakeJni& f) { f.env()->DeleteLocalRef(nullptr); }},
        {"ReleaseByteArrayElements", [](FakeJni& f) { f.env()->ReleaseByteArrayElements(nullptr, nullptr, 0); }},
    };
    for (const Call& call : calls) {
        FakeJni fake;
        fake.abort_class_missing();
        fake.env()->FindClass(abort_class_name);
        const auto failures = failures_in([&] { call.call(fake); });
        expect_failures(failures, {std::string("called ") + call.label + ","}, call.label);
        if (failures.size() == 1) {
            EXPECT_EQ(failures[0].find("pending"), std::string::npos) << call.label << ": " << failures[0];
        }
    }
}

// One misuse (or correct use, with no failures expected) per row, on a fresh
// fake that is destroyed inside the check, so leaks at destruction count.
struct UseCase {
    const char* label;
    std::function<void(FakeJni&, JNIEnv*)> run;
    std::vector<std::string> failures;  // substrings, one per expected failure
};

TEST(FakeJniChecks, ReportsMisuseAndAcceptsCorrectUse) {
    const std::vector<UseCase> cases = {
        // Borrowed chars.
        {"borrow and release",
         [](FakeJni& f, JNIEnv* env) {
             jstring s = f.string("s", "abc");
             const char* c = env->GetStringUTFChars(s, nullptr);
             EXPECT_STREQ(c, "abc");
             env->ReleaseStringUTFChars(s, c);
         },
         {}},
        {"double release",
         [](FakeJni& f, JNIEnv* env) {
             jstring s = f.string("s", "abc");
             const char* c = env->GetStringUTFChars(s, nullptr);
             env->ReleaseStringUTFChars(s, c);
             env->ReleaseStringUTFChars(s, c);
         },
         {"already released"}},
        {"release with a pointer into the chars",
         [](FakeJni& f, JNIEnv* env) {
             jstring s = f.string("s", "abc");
             const char* c = env->GetStringUTFChars(s, nullptr);
             env->ReleaseStringUTFChars(s, c + 1);
             env->ReleaseStringUTFChars(s, c);
         },
         {"never returned"}},
        {"release of a pointer never borrowed",
         [](FakeJni& f, JNIEnv* env) { env->ReleaseStringUTFChars(f.string("s", "abc"), "abc"); },
         {"never returned"}},
        {"release with null chars",
         [](FakeJni& f, JNIEnv* env) { env->ReleaseStringUTFChars(f.string("s", "abc"), nullptr); },
         {"null chars"}},
        {"release through another string",
         [](FakeJni& f, JNIEnv* env) {
             jstring a = f.string("a", "1");
             jstring b = f.string("b", "1");
             const char* c = env->GetStringUTFChars(a, nullptr);
             env->ReleaseStringUTFChars(b, c);
             env->ReleaseStringUTFChars(a, c);
         },
         {"borrowed from a, another string"}},
        {"release through a null reference",
         [](FakeJni& f, JNIEnv* env) {
             jstring a = f.string("a", "1");
             const char* c = env->GetStringUTFChars(a, nullptr);
             env->ReleaseStringUTFChars(nullptr, c);
             env->ReleaseStringUTFChars(a, c);
         },
         {"null reference"}},
        {"release of chars swapped between two borrows",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray attrs = f.string_array("attrs", {"x", "y"});
             jstring e0 = as_string(env->GetObjectArrayElement(attrs, 0));
             jstring e1 = as_string(env->GetObjectArrayElement(attrs, 1));
             const char* c0 = env->GetStringUTFChars(e0, nullptr);
             const char* c1 = env->GetStringUTFChars(e1, nullptr);
             env->ReleaseStringUTFChars(e0, c1);
             env->ReleaseStringUTFChars(e1, c1);
             env->ReleaseStringUTFChars(e0, c0);
         },
         {"borrowed from attrs[1], another string"}},
        {"release through another local reference to the same element",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray attrs = f.string_array("attrs", {"x"});
             jstring first = as_string(env->GetObjectArrayElement(attrs, 0));
             jstring second = as_string(env->GetObjectArrayElement(attrs, 0));
             const char* c = env->GetStringUTFChars(first, nullptr);
             env->ReleaseStringUTFChars(second, c);
         },
         {}},
        {"borrow never released",
         [](FakeJni& f, JNIEnv* env) { env->GetStringUTFChars(f.string("url", "http://h/"), nullptr); },
         {"GetStringUTFChars(url) were never released"}},
        {"two borrows never released",
         [](FakeJni& f, JNIEnv* env) {
             jstring s = f.string("s", "x");
             env->GetStringUTFChars(s, nullptr);
             env->GetStringUTFChars(s, nullptr);
         },
         {"never released", "never released"}},
        {"GetStringUTFChars on null",
         [](FakeJni&, JNIEnv* env) { env->GetStringUTFChars(nullptr, nullptr); },
         {"GetStringUTFChars got a null reference"}},
        {"GetStringUTFChars on an array",
         [](FakeJni& f, JNIEnv* env) {
             env->GetStringUTFChars(reinterpret_cast<jstring>(f.byte_array("b", {})), nullptr);
         },
         {"wants a string but got b"}},
        {"unknown reference",
         [](FakeJni&, JNIEnv* env) {
             int not_a_ref = 0;
             env->GetArrayLength(reinterpret_cast<jarray>(&not_a_ref));
         },
         {"never handed out"}},
        {"reference from another fake",
         [](FakeJni&, JNIEnv* env) {
             FakeJni other;
             env->GetArrayLength(other.byte_array("b", {1}));
         },
         {"never handed out"}},
        // Arrays.
        {"GetArrayLength on null", [](FakeJni&, JNIEnv* env) { env->GetArrayLength(nullptr); }, {"null reference"}},
        {"GetArrayLength on a string",
         [](FakeJni& f, JNIEnv* env) { env->GetArrayLength(reinterpret_cast<jarray>(f.string("s", ""))); },
         {"s, which is a string"}},
        {"element index at the length",
         [](FakeJni& f, JNIEnv* env) {
             env->GetObjectArrayElement(f.string_array("attrs", {"a", "b"}), 2);
             EXPECT_EQ(f.pending_exception(), "java/lang/ArrayIndexOutOfBoundsException");
         },
         {"GetObjectArrayElement(attrs,2) is out of range"}},
        {"negative element index",
         [](FakeJni& f, JNIEnv* env) { env->GetObjectArrayElement(f.string_array("attrs", {"a"}), -1); },
         {"out of range"}},
        {"GetObjectArrayElement on a byte[]",
         [](FakeJni& f, JNIEnv* env) {
             env->GetObjectArrayElement(reinterpret_cast<jobjectArray>(f.byte_array("b", {1})), 0);
         },
         {"wants a String[]"}},
        {"whole byte region",
         [](FakeJni& f, JNIEnv* env) {
             jbyte buffer[3] = {};
             env->GetByteArrayRegion(f.byte_array("b", {1, 2, 0xff}), 0, 3, buffer);
             EXPECT_EQ(buffer[0], 1);
             EXPECT_EQ(buffer[2], static_cast<jbyte>(0xff));
         },
         {}},
        {"empty byte region at the end",
         [](FakeJni& f, JNIEnv* env) { env->GetByteArrayRegion(f.byte_array("b", {1}), 1, 0, nullptr); },
         {}},
        {"byte region past the end",
         [](FakeJni& f, JNIEnv* env) {
             jbyte buffer[3];
             env->GetByteArrayRegion(f.byte_array("body", {1, 2, 3, 4, 5}), 3, 3, buffer);
         },
         {"GetByteArrayRegion(body,3,3) is out of range"}},
        {"byte region with negative start",
         [](FakeJni& f, JNIEnv* env) {
             jbyte buffer[1];
             env->GetByteArrayRegion(f.byte_array("b", {1}), -1, 1, buffer);
         },
         {"out of range"}},
        {"byte region with negative length",
         [](FakeJni& f, JNIEnv* env) {
             jbyte buffer[1];
             env->GetByteArrayRegion(f.byte_array("b", {1}), 0, -1, buffer);
         },
         {"out of range"}},
        {"byte region into a null buffer",
         [](FakeJni& f, JNIEnv* env) { env->GetByteArrayRegion(f.byte_array("b", {1}), 0, 1, nullptr); },
         {"null buffer"}},
        // Classes and exceptions.
        {"FindClass of another class",
         [](FakeJni&, JNIEnv* env) { env->FindClass("java/lang/String"); },
         {"may only look up tsapi/exceptions/Abort"}},
        {"FindClass of null", [](FakeJni&, JNIEnv* env) { env->FindClass(nullptr); }, {"null name"}},
        {"ThrowNew with a null class", [](FakeJni&, JNIEnv* env) { env->ThrowNew(nullptr, "m"); }, {"null reference"}},
        {"ThrowNew with a string for a class",
         [](FakeJni& f, JNIEnv* env) { env->ThrowNew(reinterpret_cast<jclass>(f.string("s", "")), "m"); },
         {"wants a class"}},
        {"ThrowNew twice",
         [](FakeJni&, JNIEnv* env) {
             jclass abort = env->FindClass(abort_class_name);
             env->ThrowNew(abort, "one");
             env->ThrowNew(abort, "two");
         },
         {"tsapi/exceptions/Abort(one) is pending"}},
        // New strings.
        {"NewStringUTF of modified UTF-8",
         [](FakeJni&, JNIEnv* env) {
             env->NewStringUTF(
                 "a\xc0\x80"
                 "b\xc3\xa9\xe2\x82\xac"
                 "\xed\xa0\xbd\xed\xb8\x80");
         },
         {}},
        {"NewStringUTF of a 4-byte form",
         [](FakeJni&, JNIEnv* env) { env->NewStringUTF("\xf0\x9f\x98\x80"); },
         {"not modified UTF-8"}},
        {"NewStringUTF of a stray byte",
         [](FakeJni&, JNIEnv* env) { env->NewStringUTF("a\xff"); },
         {"NewStringUTF(\"a\\xff\")"}},
        {"NewStringUTF of bad bytes when allowed",
         [](FakeJni& f, JNIEnv* env) {
             f.allow_any_new_string_bytes();
             env->NewStringUTF("a\xff");
         },
         {}},
        {"NewStringUTF of null", [](FakeJni&, JNIEnv* env) { env->NewStringUTF(nullptr); }, {"null bytes"}},
        // Local references.
        {"16 local references",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             for (int i = 0; i < 16; ++i) env->GetObjectArrayElement(a, 0);
         },
         {}},
        {"17 local references",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             for (int i = 0; i < 20; ++i) env->GetObjectArrayElement(a, 0);
         },
         {"holds 17 local references, more than the 16"}},
        {"local references of every kind count",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             for (int i = 0; i < 15; ++i) env->GetObjectArrayElement(a, 0);
             env->NewStringUTF("n");
             env->FindClass(abort_class_name);
         },
         {"holds 17 local references"}},
        {"null elements make no local reference",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {std::nullopt});
             for (int i = 0; i < 40; ++i) env->GetObjectArrayElement(a, 0);
             EXPECT_EQ(f.local_refs(), 0);
         },
         {}},
        {"capacity ensured first",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             env->GetObjectArrayElement(a, 0);
             EXPECT_EQ(env->EnsureLocalCapacity(40), JNI_OK);
             for (int i = 0; i < 40; ++i) env->GetObjectArrayElement(a, 0);
             EXPECT_EQ(f.local_refs(), 41);
         },
         {}},
        {"capacity ensured one short",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             env->GetObjectArrayElement(a, 0);
             env->EnsureLocalCapacity(39);
             for (int i = 0; i < 40; ++i) env->GetObjectArrayElement(a, 0);
         },
         {"holds 41 local references, more than the 40"}},
        {"a new native frame starts over",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             for (int i = 0; i < 16; ++i) env->GetObjectArrayElement(a, 0);
             f.new_native_frame();
             for (int i = 0; i < 16; ++i) env->GetObjectArrayElement(a, 0);
         },
         {}},
        {"negative capacity", [](FakeJni&, JNIEnv* env) { env->EnsureLocalCapacity(-1); }, {"negative capacity"}},
        // Switches misused.
        {"fail_borrow with a negative count", [](FakeJni& f, JNIEnv*) { f.fail_borrow(-1); }, {"k >= 0"}},
        {"string_bytes of an array",
         [](FakeJni& f, JNIEnv*) { EXPECT_EQ(f.string_bytes(reinterpret_cast<jstring>(f.byte_array("b", {}))), ""); },
         {"it is a byte[]"}},
    };
    for (const UseCase& c : cases) {
        const auto failures = failures_in([&] {
            FakeJni fake;
            c.run(fake, fake.env());
        });
        expect_failures(failures, c.failures, c.label);
    }
}

TEST(FakeJniChecks, CanonicalFaultsFailTheTest) {
    // The same faults through gtest's own checker, as the other tests use it.
    {
        FakeJni fake;
        JNIEnv* env = fake.env();
        jstring s = fake.string("s", "abc");
        const char* c = env->GetStringUTFChars(s, nullptr);
        env->ReleaseStringUTFChars(s, c);
        EXPECT_NONFATAL_FAILURE(env->ReleaseStringUTFChars(s, c), "already released");
        c = env->GetStringUTFChars(s, nullptr);
        EXPECT_NONFATAL_FAILURE(env->ReleaseStringUTFChars(s, c + 1), "never returned");
        env->ReleaseStringUTFChars(s, c);
        EXPECT_NONFATAL_FAILURE(env->GetVersion(), "GetVersion");
        fake.fail_ensure_capacity();
        env->EnsureLocalCapacity(100);
        EXPECT_NONFATAL_FAILURE(env->NewStringUTF("x"), "java/lang/OutOfMemoryError is pending");
    }
    EXPECT_NONFATAL_FAILURE(
        {
            FakeJni fake;
            fake.env()->GetStringUTFChars(fake.string("leak", "x"), nullptr);
        },
        "GetStringUTFChars(leak) were never released");
}

TEST(FakeJniBorrows, FailBorrowFailsTheKthBorrowOnce) {
    for (int k : {0, 1, 3}) {
        FakeJni fake;
        JNIEnv* env = fake.env();
        jobjectArray attrs = fake.string_array("attrs", {"a", "b", "c", "d"});
        fake.fail_borrow(k);
        std::vector<std::pair<jstring, const char*>> borrowed;
        for (int i = 0; i < k; ++i) {
            jstring e = as_string(env->GetObjectArrayElement(attrs, i));
            const char* c = env->GetStringUTFChars(e, nullptr);
            ASSERT_NE(c, nullptr) << "k=" << k << " i=" << i;
            borrowed.emplace_back(e, c);
        }
        jstring e = as_string(env->GetObjectArrayElement(attrs, k));
        EXPECT_EQ(env->GetStringUTFChars(e, nullptr), nullptr) << "k=" << k;
        EXPECT_EQ(fake.pending_exception(), "java/lang/OutOfMemoryError");
        EXPECT_EQ(fake.unreleased_borrows(), k);
        for (const auto& [ref, chars] : borrowed) {
            env->ReleaseStringUTFChars(ref, chars);
        }
        EXPECT_EQ(fake.unreleased_borrows(), 0);
        // One-shot: with the exception handled, borrowing works again.
        fake.clear_pending_exception();
        const char* again = env->GetStringUTFChars(e, nullptr);
        ASSERT_NE(again, nullptr);
        env->ReleaseStringUTFChars(e, again);
    }
}

TEST(FakeJniBorrows, CopiesAreExactNulTerminatedAndFresh) {
    FakeJni fake;
    JNIEnv* env = fake.env();
    const std::string bytes("a\xc0\x80z", 4);
    jstring s = fake.string("s", bytes);
    jboolean is_copy = JNI_FALSE;
    const char* first = env->GetStringUTFChars(s, &is_copy);
    const char* second = env->GetStringUTFChars(s, nullptr);
    EXPECT_EQ(is_copy, JNI_TRUE);
    EXPECT_NE(first, second);
    EXPECT_EQ(std::string(first, 5), bytes + '\0');
    EXPECT_EQ(fake.unreleased_borrows(), 2);
    env->ReleaseStringUTFChars(s, second);
    env->ReleaseStringUTFChars(s, first);
    EXPECT_EQ(fake.unreleased_borrows(), 0);
}

TEST(FakeJniRefs, ElementReferencesAreFreshAndNamedLikeTheElement) {
    FakeJni fake;
    JNIEnv* env = fake.env();
    jobjectArray attrs = fake.string_array("attrs", {"k=v", std::nullopt});
    std::set<jobject> seen;
    for (int i = 0; i < 10; ++i) {
        jobject ref = env->GetObjectArrayElement(attrs, 0);
        ASSERT_NE(ref, nullptr);
        EXPECT_TRUE(seen.insert(ref).second) << "reference reused at call " << i;
        EXPECT_EQ(fake.string_bytes(as_string(ref)), "k=v");
    }
    EXPECT_EQ(env->GetObjectArrayElement(attrs, 1), nullptr);
    EXPECT_EQ(env->GetArrayLength(attrs), 2);
    EXPECT_EQ(fake.calls().front(), "GetObjectArrayElement(attrs,0)");
    EXPECT_EQ(fake.calls()[10], "GetObjectArrayElement(attrs,1)");
}

TEST(FakeJniLog, RecordsEveryCallInOrder) {
    FakeJni fake;
    JNIEnv* env = fake.env();
    jobjectArray attrs = fake.string_array("attrs", {"a=1", std::nullopt});
    jbyteArray body = fake.byte_array("body", {'h', 'e', 'l', 'l', 'o'});
    jstring url = fake.string("url", "http://h/");

    EXPECT_EQ(env->GetArrayLength(attrs), 2);
    EXPECT_EQ(env->EnsureLocalCapacity(12), JNI_OK);
    jstring e0 = as_string(env->GetObjectArrayElement(attrs, 0));
    const char* c0 = env->GetStringUTFChars(e0, nullptr);
    env->ReleaseStringUTFChars(e0, c0);
    EXPECT_EQ(env->GetObjectArrayElement(attrs, 1), nullptr);
    const char* u = env->GetStringUTFChars(url, nullptr);
    EXPECT_STREQ(u, "http://h/");
    env->ReleaseStringUTFChars(url, u);
    EXPECT_EQ(env->GetArrayLength(body), 5);
    jbyte buffer[5];
    env->GetByteArrayRegion(body, 0, 5, buffer);
    jstring made = env->NewStringUTF("a\"b\\\n\t\r\x01\xc3\xa9");
    const char* m = env->GetStringUTFChars(made, nullptr);
    env->ReleaseStringUTFChars(made, m);
    EXPECT_NONFATAL_FAILURE(env->GetStringUTFChars(nullptr, nullptr), "null reference");
    jclass abort = env->FindClass(abort_class_name);
    EXPECT_EQ(env->ThrowNew(abort, nullptr), JNI_OK);

    const std::vector<std::string> expected = {
        "GetArrayLength(attrs)",
        "EnsureLocalCapacity(12)",
        "GetObjectArrayElement(attrs,0)",
        "GetStringUTFChars(attrs[0])",
        "ReleaseStringUTFChars(attrs[0])",
        "GetObjectArrayElement(attrs,1)",
        "GetStringUTFChars(url)",
        "ReleaseStringUTFChars(url)",
        "GetArrayLength(body)",
        "GetByteArrayRegion(body,0,5)",
        R"(NewStringUTF("a\"b\\\n\t\r\x01\xc3\xa9"))",
        R"(GetStringUTFChars("a\"b\\\n\t\r\x01\xc3\xa9"))",
        R"(ReleaseStringUTFChars("a\"b\\\n\t\r\x01\xc3\xa9"))",
        "GetStringUTFChars(null)",
        "FindClass(tsapi/exceptions/Abort)",
        "ThrowNew(tsapi/exceptions/Abort,null)",
    };
    EXPECT_EQ(fake.calls(), expected);
    EXPECT_EQ(fake.new_strings(), std::vector<std::string>{"a\"b\\\n\t\r\x01\xc3\xa9"});
    EXPECT_EQ(fake.string_bytes(made), "a\"b\\\n\t\r\x01\xc3\xa9");
    EXPECT_EQ(std::string(buffer, buffer + 5), "hello");

    fake.clear_calls();
    EXPECT_TRUE(fake.calls().empty());
    fake.clear_pending_exception();
    env->ThrowNew(abort, "no \"host\"");
    EXPECT_EQ(fake.calls(), std::vector<std::string>{R"(ThrowNew(tsapi/exceptions/Abort,"no \"host\""))"});
    EXPECT_EQ(fake.pending_exception(), "tsapi/exceptions/Abort(no \"host\")");
}

TEST(FakeJniText, ModifiedUtf8) {
    struct Row {
        std::string bytes;
        bool valid;
    };
    const std::vector<Row> rows = {
        {"", true},
        {"plain ASCII", true},
        {"\xc0\x80", true},                  // NUL, the one allowed overlong
        {"\xc2\x80\xdf\xbf", true},          // 2-byte range ends
        {"\xe0\xa0\x80\xef\xbf\xbf", true},  // 3-byte range ends
        {"\xed\xa0\xbd\xed\xb8\x80", true},  // a surrogate pair, 3 bytes each
        {"\xed\xb8\x80", true},              // a lone surrogate: Java allows it
        {std::string("a\0b", 3), false},     // a raw NUL
        {"\xc1\xbf", false},                 // overlong 2-byte
        {"\xc0\x81", false},                 // overlong, not NUL
        {"\xe0\x9f\xbf", false},             // overlong 3-byte
        {"\xf0\x9f\x98\x80", false},         // 4-byte form
        {"\x80", false},                     // stray continuation
        {"\xc3", false},                     // truncated
        {"\xe2\x82", false},                 // truncated
        {"\xe2\x28\xa1", false},             // bad continuation
        {"\xff", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(is_modified_utf8(row.bytes), row.valid) << c_quoted(row.bytes);
    }
}

TEST(FakeJniText, QuotedEscapes) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"", R"("")"},
        {"abc", R"("abc")"},
        {"\"\\", R"("\"\\")"},
        {"\n\t\r", R"("\n\t\r")"},
        {std::string("\0\x1f\x7f\xff", 4), R"("\x00\x1f\x7f\xff")"},
    };
    for (const auto& [bytes, expected] : rows) {
        EXPECT_EQ(c_quoted(bytes), expected);
    }
}

}  // namespace
}  // namespace fakejni

namespace allocfail {
namespace {

// Through a volatile pointer, so the compiler cannot drop or fold the calls;
// the reference to malloc still goes to the hook.
void* (*volatile call_malloc)(std::size_t) = &std::malloc;
void (*volatile call_free)(void*) = &std::free;

TEST(AllocFailure, FailNextMallocFailsExactlyOnce) {
    const std::uint64_t before = malloc_calls();
    fail_next_malloc();
    const bool armed = malloc_failure_armed();
    void* failed = call_malloc(16);
    const bool still_armed = malloc_failure_armed();
    void* next = call_malloc(16);
    EXPECT_TRUE(armed);
    EXPECT_EQ(failed, nullptr);
    EXPECT_FALSE(still_armed);
    EXPECT_NE(next, nullptr);
    call_free(next);
    EXPECT_GE(malloc_calls(), before + 2);
}

TEST(AllocFailure, CountsBlocksOutstandingSinceAMark) {
    void* old_block = call_malloc(8);
    const Mark m = mark();
    void* a = call_malloc(8);
    void* b = call_malloc(8);
    const std::size_t two = outstanding_since(m);
    call_free(a);
    const std::size_t one = outstanding_since(m);
    call_free(b);
    const std::size_t none = outstanding_since(m);
    call_free(old_block);
    EXPECT_EQ(two, 2u);
    EXPECT_EQ(one, 1u);
    EXPECT_EQ(none, 0u);
}

TEST(AllocFailure, FailNextNothrowNewFailsExactlyOnce) {
    struct Row {
        const char* label;
        void* (*allocate)();
        void (*release)(void*);
    };
    const std::vector<Row> rows = {
        {"operator new[](n, nothrow)", [] { return ::operator new[](32, std::nothrow); },
         [](void* p) { ::operator delete[](p); }},
        {"operator new(n, nothrow)", [] { return ::operator new(32, std::nothrow); },
         [](void* p) { ::operator delete(p); }},
        {"new (std::nothrow) char[n]", [] { return static_cast<void*>(new (std::nothrow) char[32]); },
         [](void* p) { delete[] static_cast<char*>(p); }},
    };
    for (const Row& row : rows) {
        fail_next_nothrow_new();
        EXPECT_TRUE(nothrow_new_failure_armed()) << row.label;
        void* failed = row.allocate();
        EXPECT_FALSE(nothrow_new_failure_armed()) << row.label;
        void* next = row.allocate();
        EXPECT_EQ(failed, nullptr) << row.label;
        EXPECT_NE(next, nullptr) << row.label;
        row.release(next);
    }
}

TEST(AllocFailure, FakeJniDoesNotTakeAnArmedMallocFailure) {
    fakejni::FakeJni fake;
    JNIEnv* env = fake.env();
    jobjectArray attrs = fake.string_array("attrs", {"a", "b"});
    fail_next_malloc();
    // Everything a native call does through the fake before its own malloc.
    env->EnsureLocalCapacity(2);
    jstring e = static_cast<jstring>(env->GetObjectArrayElement(attrs, 0));
    const char* c = env->GetStringUTFChars(e, nullptr);
    env->NewStringUTF("x");
    env->ReleaseStringUTFChars(e, c);
    const bool still_armed = malloc_failure_armed();
    disarm();
    EXPECT_TRUE(still_armed);
}

}  // namespace
}  // namespace allocfail

namespace fakejni {
namespace {

TEST(FakeJniFrames, PushedFrameHasItsOwnCapacityAndPopRestoresTheOuter) {
    FakeJni fake;
    JNIEnv* env = fake.env();
    jobjectArray a = fake.string_array("a", std::vector<std::optional<std::string>>(40, std::string("x")));
    EXPECT_EQ(env->EnsureLocalCapacity(20), JNI_OK);
    for (int i = 0; i < 20; ++i) env->GetObjectArrayElement(a, i);
    EXPECT_EQ(env->PushLocalFrame(20), JNI_OK);
    for (int i = 20; i < 40; ++i) env->GetObjectArrayElement(a, i);
    EXPECT_EQ(fake.local_refs(), 20);
    env->PopLocalFrame(nullptr);
    EXPECT_EQ(fake.local_refs(), 20);
    // One more in the outer frame than it reserved.
    EXPECT_NONFATAL_FAILURE(env->GetObjectArrayElement(a, 0), "local references");
}

TEST(FakeJniFrames, ReservationsBeyondTheCapAndSmallerRepeatsDoNotCount) {
    FakeJni fake;
    JNIEnv* env = fake.env();
    EXPECT_NONFATAL_FAILURE(env->EnsureLocalCapacity(65537), "more than HotSpot grants");
    EXPECT_NONFATAL_FAILURE(env->PushLocalFrame(65537), "HotSpot refuses");
    jobjectArray a = fake.string_array("a", std::vector<std::optional<std::string>>(30, std::string("x")));
    EXPECT_EQ(env->EnsureLocalCapacity(20), JNI_OK);
    for (int i = 0; i < 20; ++i) env->GetObjectArrayElement(a, i);
    EXPECT_EQ(env->EnsureLocalCapacity(10), JNI_OK);  // not more than the 20 already there: ignored
    EXPECT_NONFATAL_FAILURE(env->GetObjectArrayElement(a, 20), "local references");
}

TEST(FakeJniFrames, LocalReferencesDieWithTheirFrame) {
    const std::vector<UseCase> cases = {
        {"element reference used after PopLocalFrame",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             env->PushLocalFrame(4);
             jstring e = as_string(env->GetObjectArrayElement(a, 0));
             env->PopLocalFrame(nullptr);
             env->GetStringUTFChars(e, nullptr);
         },
         {"a[0], which died with its frame"}},
        {"chars released through a reference of a popped frame",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             env->PushLocalFrame(4);
             jstring e = as_string(env->GetObjectArrayElement(a, 0));
             const char* c = env->GetStringUTFChars(e, nullptr);
             env->PopLocalFrame(nullptr);
             env->ReleaseStringUTFChars(e, c);
         },
         {"died with its frame", "were never released"}},
        {"released before the frame is popped",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             env->PushLocalFrame(4);
             jstring e = as_string(env->GetObjectArrayElement(a, 0));
             const char* c = env->GetStringUTFChars(e, nullptr);
             env->ReleaseStringUTFChars(e, c);
             env->PopLocalFrame(nullptr);
             EXPECT_EQ(f.open_frames(), 0);
         },
         {}},
        {"outer references outlive an inner frame",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             jstring outer = as_string(env->GetObjectArrayElement(a, 0));
             env->PushLocalFrame(4);
             EXPECT_EQ(f.open_frames(), 1);
             env->PopLocalFrame(nullptr);
             const char* c = env->GetStringUTFChars(outer, nullptr);
             env->ReleaseStringUTFChars(outer, c);
         },
         {}},
        {"PopLocalFrame keeps its result as a new outer reference",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             env->PushLocalFrame(4);
             jobject inner = env->GetObjectArrayElement(a, 0);
             jobject kept = env->PopLocalFrame(inner);
             EXPECT_NE(kept, nullptr);
             EXPECT_NE(kept, inner);
             EXPECT_EQ(f.local_refs(), 1);
             const char* c = env->GetStringUTFChars(as_string(kept), nullptr);
             env->ReleaseStringUTFChars(as_string(kept), c);
             env->GetArrayLength(static_cast<jarray>(inner));
         },
         {"GetArrayLength got the local reference a[0], which died"}},
        {"new string kept past its frame",
         [](FakeJni& f, JNIEnv* env) {
             env->PushLocalFrame(1);
             jstring made = env->NewStringUTF("n");
             env->PopLocalFrame(nullptr);
             EXPECT_EQ(f.string_bytes(made), "n");  // the test may still look
             env->GetStringUTFChars(made, nullptr);
         },
         {"\"n\", which died with its frame"}},
        {"class reference kept from an earlier native call",
         [](FakeJni& f, JNIEnv* env) {
             jclass abort = env->FindClass(abort_class_name);
             f.new_native_frame();
             env->ThrowNew(abort, "cached");
         },
         {"tsapi/exceptions/Abort, which died with its frame"}},
        {"a fresh class reference in each native call",
         [](FakeJni& f, JNIEnv* env) {
             jclass first = env->FindClass(abort_class_name);
             f.new_native_frame();
             jclass second = env->FindClass(abort_class_name);
             EXPECT_NE(first, second);
             env->ThrowNew(second, nullptr);
         },
         {}},
        {"PopLocalFrame without PushLocalFrame",
         [](FakeJni&, JNIEnv* env) { env->PopLocalFrame(nullptr); },
         {"PopLocalFrame without a PushLocalFrame"}},
        {"a pushed frame's own capacity",
         [](FakeJni& f, JNIEnv* env) {
             jobjectArray a = f.string_array("a", {"x"});
             env->PushLocalFrame(3);
             for (int i = 0; i < 4; ++i) env->GetObjectArrayElement(a, 0);
             env->PopLocalFrame(nullptr);
         },
         {"holds 4 local references, more than the 3"}},
        {"frames left open are dropped by a new native frame",
         [](FakeJni& f, JNIEnv* env) {
             env->PushLocalFrame(2);
             env->PushLocalFrame(2);
             EXPECT_EQ(f.open_frames(), 2);
             f.new_native_frame();
             EXPECT_EQ(f.open_frames(), 0);
         },
         {}},
    };
    for (const UseCase& c : cases) {
        const auto failures = failures_in([&] {
            FakeJni fake;
            c.run(fake, fake.env());
        });
        expect_failures(failures, c.failures, c.label);
    }
}

}  // namespace
}  // namespace fakejni
