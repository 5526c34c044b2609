// A fake JNIEnv for unit tests of the native code, without a JVM.
//
// It implements the JNI functions the library is allowed to use (FindClass,
// ThrowNew, GetStringUTFChars, ReleaseStringUTFChars, GetArrayLength,
// GetObjectArrayElement, GetByteArrayRegion, NewStringUTF,
// EnsureLocalCapacity, PushLocalFrame, PopLocalFrame, ExceptionCheck) on fake objects the test
// creates, and records every call. Everything else counts as misuse and is
// reported as a non-fatal gtest failure:
//  - any other JNI function (every other slot of the table has a stub of the
//    exact type that reports its name and returns zero);
//  - a call JNI forbids while an exception is pending;
//  - borrowed UTF chars released twice, with the wrong pointer or through a
//    reference to another string, or never released (checked at destruction);
//  - out-of-range array access, null or unknown references;
//  - NewStringUTF bytes that are not modified UTF-8;
//  - more live local references in a frame than JNI guarantees (16) or than
//    EnsureLocalCapacity / PushLocalFrame asked for, or a reservation above
//    HotSpot's limit (65536);
//  - a local reference used after its frame is gone (PopLocalFrame, or
//    new_native_frame() standing for the end of the native call).
//
// The fake never calls malloc itself (only operator new), so a test can arm
// allocfail::fail_next_malloc() and have it hit the library's own malloc.
#pragma once

#include <jni.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fakejni {

// The class the library throws; the only one FindClass may look up.
inline constexpr const char* abort_class_name = "tsapi/exceptions/Abort";

class FakeJni {
public:
    FakeJni();
    // Reports (ADD_FAILURE) every borrow of UTF chars not released, then frees
    // everything. Handles must not be used after this.
    ~FakeJni();
    FakeJni(const FakeJni&) = delete;
    FakeJni& operator=(const FakeJni&) = delete;

    JNIEnv* env();

    // --- Objects, owned by the fake, each with a name used in the call log ---

    // A Java string whose modified-UTF-8 form is `bytes`.
    jstring string(std::string name, std::string bytes);
    // A String[]; nullopt is a null element. Element i is a string named
    // name + "[" + i + "]".
    jobjectArray string_array(std::string name, std::vector<std::optional<std::string>> elements);
    jbyteArray byte_array(std::string name, std::vector<unsigned char> bytes);

    // --- Behaviour switches ---

    // The k-th GetStringUTFChars from now (0-based) returns null and leaves an
    // OutOfMemoryError pending. One-shot; calling again re-arms.
    void fail_borrow(int k);
    // From now on FindClass(abort_class_name) returns null and leaves a
    // NoClassDefFoundError pending.
    void abort_class_missing();
    // From now on EnsureLocalCapacity returns JNI_ERR and leaves an
    // OutOfMemoryError pending.
    void fail_ensure_capacity();
    // Stops checking that NewStringUTF bytes are modified UTF-8.
    void allow_any_new_string_bytes();
    // Starts a new native method frame, as when a native call returns and the
    // next begins: the local references made so far die (using one later is
    // reported), pushed frames are dropped and the capacity is back to 16. Use
    // between two native calls made with one fake.
    void new_native_frame();
    // Clears the pending exception, as the Java caller would by catching it.
    void clear_pending_exception();
    // Leaves `exception` pending, as Java code that the engine calls back does
    // when it throws, e.g. "java/lang/IllegalStateException".
    void throw_from_java(std::string exception);

    // --- Observations ---

    // Every JNI call, in order, e.g. "GetObjectArrayElement(attrs,0)".
    const std::vector<std::string>& calls() const;
    void clear_calls();
    // "" when none; otherwise "<class>(<message>)" after ThrowNew (message
    // "null" for a null message), or just the class name for an exception the
    // fake raised itself, e.g. "java/lang/OutOfMemoryError".
    std::string pending_exception() const;
    // Borrows of UTF chars not yet released.
    int unreleased_borrows() const;
    // Local references created in the current local frame.
    int local_refs() const;
    // Frames pushed with PushLocalFrame and not yet popped: 0 after a native
    // call means it popped all it pushed.
    int open_frames() const;
    // The bytes of each NewStringUTF result, in order.
    std::vector<std::string> new_strings() const;
    // The bytes of a string the fake made (NewStringUTF results included, and
    // local references to strings). ADD_FAILURE and "" for anything else.
    std::string string_bytes(jstring s) const;

    struct State;  // the implementation's; public only so its stubs can reach it

private:
    std::unique_ptr<State> state_;
};

// Shows bytes as a C string literal, quotes included, with C escapes for
// quotes, backslashes and non-printable bytes (\n, \t, \r, else \xHH); the
// call log formats NewStringUTF and ThrowNew messages this way.
std::string c_quoted(std::string_view bytes);

// Whether `bytes` is well-formed modified UTF-8 (what NewStringUTF accepts):
// no NUL byte (it is C0 80), no 4-byte forms (supplementary characters are
// two 3-byte surrogates), no other overlong forms, no stray continuations.
bool is_modified_utf8(std::string_view bytes);

}  // namespace fakejni
