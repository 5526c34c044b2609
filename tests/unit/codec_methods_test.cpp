// The four URL and Base64 methods against the fake JNIEnv: the exact JNI
// sequence, the bytes handed to NewStringUTF, null and failed borrows, a
// failed result allocation, and the malformed inputs the decoders accept.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/unit/support/alloc_failure.h"
#include "tests/unit/support/fake_jni.h"
#include "tsapi_web.h"

namespace {

using fakejni::c_quoted;
using fakejni::FakeJni;

using Native = jstring(JNICALL*)(JNIEnv*, jclass, jstring);

struct Method {
    const char* name;
    Native call;
    // One ordinary input and the result bytes, with work for the codec to do.
    std::string typical_input;
    std::string typical_result;
};

void PrintTo(const Method& m, std::ostream* os) { *os << m.name; }

const Method methods[] = {
    {"url_encode", Java_tsapi_web_jweb_1util_1url_1encode, "a b+\xC3\xA9\xC0\x80_Z9", "a+b%2b%c3%a9%c0%80_Z9"},
    {"url_decode", Java_tsapi_web_jweb_1util_1url_1decode, "a+b%2b%c3%a9%c0%80_Z9", "a b+\xC3\xA9\xC0\x80_Z9"},
    {"base64encode", Java_tsapi_web_jweb_1util_1base64encode, "abcd\xC3\xA9", "YWJjZMOp"},
    {"base64decode", Java_tsapi_web_jweb_1util_1base64decode, "YWJjZMOp", "abcd\xC3\xA9"},
};

std::vector<std::string> normal_sequence(const std::string& result) {
    return {"GetStringUTFChars(s)", "ReleaseStringUTFChars(s)", "NewStringUTF(" + c_quoted(result) + ")"};
}

class CodecMethod : public ::testing::TestWithParam<Method> {
protected:
    FakeJni jni;
    const allocfail::Mark start = allocfail::mark();
};

TEST_P(CodecMethod, NormalStringIsBorrowedReleasedThenConverted) {
    const Method& m = GetParam();
    jstring s = jni.string("s", m.typical_input);
    jstring result = m.call(jni.env(), nullptr, s);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(jni.calls(), normal_sequence(m.typical_result));
    EXPECT_EQ(jni.string_bytes(result), m.typical_result);
    EXPECT_EQ(jni.pending_exception(), "");
    EXPECT_EQ(jni.unreleased_borrows(), 0);
    EXPECT_EQ(allocfail::outstanding_since(start), 0u);
}

TEST_P(CodecMethod, NullStringGivesEmptyStringWithoutBorrowing) {
    const Method& m = GetParam();
    jstring result = m.call(jni.env(), nullptr, nullptr);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(jni.calls(), std::vector<std::string>{"NewStringUTF(\"\")"});
    EXPECT_EQ(jni.string_bytes(result), "");
    EXPECT_EQ(jni.pending_exception(), "");
    EXPECT_EQ(allocfail::outstanding_since(start), 0u);
}

TEST_P(CodecMethod, FailedBorrowReturnsNullWithTheRuntimeErrorPendingAndNoFurtherCall) {
    const Method& m = GetParam();
    jstring s = jni.string("s", m.typical_input);
    jni.fail_borrow(0);
    const std::uint64_t mallocs = allocfail::malloc_calls();
    EXPECT_EQ(m.call(jni.env(), nullptr, s), nullptr);
    EXPECT_EQ(jni.calls(), std::vector<std::string>{"GetStringUTFChars(s)"});
    EXPECT_EQ(jni.pending_exception(), "java/lang/OutOfMemoryError");
    EXPECT_EQ(jni.new_strings(), std::vector<std::string>{});
    // The codec must not run on missing bytes.
    EXPECT_EQ(allocfail::malloc_calls(), mallocs);
    EXPECT_EQ(jni.unreleased_borrows(), 0);
}

TEST_P(CodecMethod, FailedResultAllocationGivesEmptyStringWithoutAbort) {
    const Method& m = GetParam();
    jstring s = jni.string("s", m.typical_input);
    allocfail::fail_next_malloc();
    jstring result = m.call(jni.env(), nullptr, s);
    const bool still_armed = allocfail::malloc_failure_armed();
    allocfail::disarm();
    EXPECT_FALSE(still_armed) << "the codec allocated nothing";
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(jni.calls(), normal_sequence(""));
    EXPECT_EQ(jni.string_bytes(result), "");
    EXPECT_EQ(jni.pending_exception(), "");
    EXPECT_EQ(jni.unreleased_borrows(), 0);
    EXPECT_EQ(allocfail::outstanding_since(start), 0u);
}

TEST_P(CodecMethod, EachCallOnItsOwnResultBuffer) {
    // Repeated calls with one env: every result freed, no state carried over.
    const Method& m = GetParam();
    for (int i = 0; i < 3; ++i) {
        jni.new_native_frame();
        jni.clear_calls();
        jstring s = jni.string("s", m.typical_input);
        jstring result = m.call(jni.env(), nullptr, s);
        EXPECT_EQ(jni.calls(), normal_sequence(m.typical_result)) << "call " << i;
        EXPECT_EQ(jni.string_bytes(result), m.typical_result) << "call " << i;
    }
    EXPECT_EQ(jni.unreleased_borrows(), 0);
    EXPECT_EQ(allocfail::outstanding_since(start), 0u);
}

INSTANTIATE_TEST_SUITE_P(All, CodecMethod, ::testing::ValuesIn(methods),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- edge cases through each method ----

struct Edge {
    const char* method;
    std::string input;     // modified UTF-8 of the Java string
    std::string expected;  // the C string NewStringUTF gets (stops at a NUL)
    bool raw;              // not modified UTF-8: handed over unchanged anyway
};

void PrintTo(const Edge& e, std::ostream* os) { *os << e.method << "(" << c_quoted(e.input) << ")"; }

Native native_of(const std::string& name) {
    for (const Method& m : methods)
        if (name == m.name) return m.call;
    ADD_FAILURE() << "no method " << name;
    return nullptr;
}

const Edge edges[] = {
    // URL encoding: only [A-Za-z0-9_] kept, space as "+", the rest as lowercase %xx.
    {"url_encode", "", "", false},
    {"url_encode", "abc", "abc", false},
    {"url_encode", "A_z9", "A_z9", false},
    {"url_encode", "a b", "a+b", false},
    {"url_encode", "+", "%2b", false},
    {"url_encode", "~", "%7e", false},
    {"url_encode", "a.b-c", "a%2eb%2dc", false},
    {"url_encode", "100%", "100%25", false},
    {"url_encode", "*", "%2a", false},
    {"url_encode", "\n", "%0a", false},
    {"url_encode", "\xC3\xA9", "%c3%a9", false},
    {"url_encode", "\xC0\x80", "%c0%80", false},  // U+0000 as the JVM hands it out
    {"url_encode", "\xED\xA0\xBD\xED\xB8\x80", "%ed%a0%bd%ed%b8%80", false},
    // URL decoding, malformed escapes included.
    {"url_decode", "", "", false},
    {"url_decode", "a+b", "a b", false},
    {"url_decode", "a%2bb", "a+b", false},
    {"url_decode", "%7e", "~", false},
    {"url_decode", "%7E", "~", false},
    {"url_decode", "%41%42", "AB", false},
    {"url_decode", "%c3%a9", "\xC3\xA9", false},
    {"url_decode", "%c0%80", "\xC0\x80", false},
    {"url_decode", "%g1", "\x01", false},
    {"url_decode", "%%41",
     "\x04"
     "1",
     false},
    {"url_decode", "a%zzb", "a", false},  // decodes to a NUL: the C string ends there
    {"url_decode", "a%00b", "a", false},
    {"url_decode", "%", "", false},
    {"url_decode", "ab%", "ab", false},
    {"url_decode", "%4", "@", false},
    {"url_decode", "%ff", "\xFF", true},
    {"url_decode", "%80", "\x80", true},
    {"url_decode", "x%c3", "x\xC3", true},
    {"url_decode", "%f0%9f%98%80", "\xF0\x9F\x98\x80", true},  // 4-byte form
    {"url_decode", "%c1%81", "\xC1\x81", true},                // overlong
    // Base64 encoding.
    {"base64encode", "", "", false},
    {"base64encode", "a", "YQ==", false},
    {"base64encode", "ab", "YWI=", false},
    {"base64encode", "abc", "YWJj", false},
    {"base64encode", "abcd", "YWJjZA==", false},
    {"base64encode", "a b", "YSBi", false},
    {"base64encode", "~", "fg==", false},
    {"base64encode", "\xC3\xA9", "w6k=", false},
    {"base64encode", "\xED\xA0\xBD\xED\xB8\x80", "7aC97biA", false},
    {"base64encode", "\xC0\x80", "wIA=", false},
    // Base64 decoding, malformed text included.
    {"base64decode", "", "", false},
    {"base64decode", "YWJj", "abc", false},
    {"base64decode", "YQ==", "a", false},
    {"base64decode", "YWI=", "ab", false},
    {"base64decode", "YR==", "a", false},
    {"base64decode", "AGE=", "", false},  // first byte 0
    {"base64decode", "YQ", "a", false},
    {"base64decode", "YWI", "ab", false},
    {"base64decode", "YWJjZA", "abcd", false},
    {"base64decode", "YR", "a\x10", false},
    {"base64decode", "Y", "`", false},
    {"base64decode", "YQ=", "a", false},
    {"base64decode", "YWI=YWI=", "ab", false},
    {"base64decode", "YWJj\n", "abc(", false},
    {"base64decode", "=", "", false},
    {"base64decode", "==", "", false},
    {"base64decode", "===", "", false},
    {"base64decode", "A===", "", false},
    {"base64decode", "====", "", false},
    {"base64decode", "wIA=", "\xC0\x80", false},
    {"base64decode", "7aC97biA", "\xED\xA0\xBD\xED\xB8\x80", false},
    {"base64decode", "/w==", "\xFF", true},
    {"base64decode", "+/+/", "\xFB\xFF\xBF", true},
    {"base64decode", "8J+YgA==", "\xF0\x9F\x98\x80", true},
};

class CodecMethodEdge : public ::testing::TestWithParam<Edge> {
protected:
    FakeJni jni;
    const allocfail::Mark start = allocfail::mark();
};

TEST_P(CodecMethodEdge, HandsTheResultBytesToNewStringUtfUnchanged) {
    const Edge& e = GetParam();
    if (e.raw) jni.allow_any_new_string_bytes();
    // Guards the table: a "raw" row must really be outside modified UTF-8,
    // the others inside it.
    EXPECT_EQ(fakejni::is_modified_utf8(e.expected), !e.raw);
    jstring s = jni.string("s", e.input);
    jstring result = native_of(e.method)(jni.env(), nullptr, s);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(jni.calls(), normal_sequence(e.expected));
    EXPECT_EQ(jni.new_strings(), std::vector<std::string>{e.expected});
    EXPECT_EQ(jni.pending_exception(), "");
    EXPECT_EQ(jni.unreleased_borrows(), 0);
    EXPECT_EQ(allocfail::outstanding_since(start), 0u);
}

INSTANTIATE_TEST_SUITE_P(All, CodecMethodEdge, ::testing::ValuesIn(edges), [](const auto& info) {
    return std::string(info.param.method) + "_" + std::to_string(info.index);
});

}  // namespace
