#include "tests/unit/support/fake_jni.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <type_traits>
#include <unordered_set>
#include <utility>

#include "tests/unit/support/jni_slots.h"

namespace fakejni {

namespace {

// What the handles point to. A handle (jstring, jobjectArray, ...) is the
// address of one of these, cast; it is only ever looked up, never
// dereferenced as a JNI type.
struct Object {
    enum class Kind { string, string_array, byte_array, class_object, local_ref };
    Kind kind;
    std::string name;
    std::string bytes;                // string
    std::vector<Object*> elements;    // string_array; null for a null element
    std::vector<unsigned char> data;  // byte_array
    Object* target = nullptr;         // local_ref: the object it refers to
    // For a local reference (a local_ref, or a NewStringUTF result): the depth
    // of the local frame holding it, and whether that frame is gone.
    int frame = -1;
    bool dead = false;
};

const char* kind_name(Object::Kind kind) {
    switch (kind) {
        case Object::Kind::string: return "a string";
        case Object::Kind::string_array: return "a String[]";
        case Object::Kind::byte_array: return "a byte[]";
        case Object::Kind::class_object: return "a class";
        case Object::Kind::local_ref: return "a local reference";
    }
    return "?";
}

// JNI guarantees this many local references in a native method frame.
constexpr int default_local_capacity = 16;
// The most HotSpot grants in one EnsureLocalCapacity or PushLocalFrame
// (its default MaxJNILocalCapacity).
constexpr int max_reservation = 65536;

constexpr const char* out_of_memory_error = "java/lang/OutOfMemoryError";
constexpr const char* no_class_def_found_error = "java/lang/NoClassDefFoundError";
constexpr const char* index_error = "java/lang/ArrayIndexOutOfBoundsException";

// The functions JNI allows while an exception is pending.
constexpr std::string_view functions_allowed_while_pending[] = {
    "ExceptionOccurred",
    "ExceptionDescribe",
    "ExceptionClear",
    "ExceptionCheck",
    "ReleaseStringChars",
    "ReleaseStringUTFChars",
    "ReleaseStringCritical",
    "ReleaseBooleanArrayElements",
    "ReleaseByteArrayElements",
    "ReleaseCharArrayElements",
    "ReleaseShortArrayElements",
    "ReleaseIntArrayElements",
    "ReleaseLongArrayElements",
    "ReleaseFloatArrayElements",
    "ReleaseDoubleArrayElements",
    "ReleasePrimitiveArrayCritical",
    "DeleteLocalRef",
    "DeleteGlobalRef",
    "DeleteWeakGlobalRef",
    "MonitorExit",
    "PushLocalFrame",
    "PopLocalFrame",
};

bool allowed_while_pending(std::string_view name) {
    return std::find(std::begin(functions_allowed_while_pending), std::end(functions_allowed_while_pending), name) !=
           std::end(functions_allowed_while_pending);
}

// The JNIEnv handed to the library: the table pointer JNI code uses, plus a
// way back to the fake's state.
struct Env : JNIEnv_ {
    FakeJni::State* state;
};

}  // namespace

struct FakeJni::State {
    State();

    Env env{};
    std::vector<std::unique_ptr<Object>> objects;
    std::unordered_set<const Object*> known;  // every handle the fake gave out
    Object* abort_class = nullptr;

    std::vector<std::string> calls;
    std::string pending;
    std::vector<std::string> new_strings;

    struct Borrow {
        const Object* string;  // the underlying string (never a local reference)
        std::string via;       // the reference's name, for messages
        std::size_t size;      // bytes copied, excluding the NUL
    };
    std::map<const char*, Borrow> borrows;  // keyed by the pointer handed out
    std::set<const char*> released;         // handed out, then released

    std::optional<int> borrow_failure_in;
    bool abort_class_missing = false;
    bool fail_ensure_capacity = false;
    bool check_new_string_bytes = true;

    int local_refs = 0;
    int local_capacity = default_local_capacity;
    bool capacity_reported = false;
    // The frames enclosing the current one (opened with PushLocalFrame), each
    // with the counts above as they were when it was left.
    struct Frame {
        int local_refs;
        int local_capacity;
        bool capacity_reported;
    };
    std::vector<Frame> frames;

    Object* add(Object::Kind kind, std::string name) {
        auto object = std::make_unique<Object>();
        object->kind = kind;
        object->name = std::move(name);
        Object* raw = object.get();
        objects.push_back(std::move(object));
        known.insert(raw);
        return raw;
    }

    // A handle the library was given, or null if it is null, unknown or a
    // local reference whose frame is gone (both reported). Local references
    // are returned as they are. `observing` is for the test's own look-ups,
    // which may look at dead references.
    const Object* find(jobject handle, const char* function, bool observing = false) const {
        if (handle == nullptr) return nullptr;
        const auto* object = reinterpret_cast<const Object*>(handle);
        if (known.count(object) == 0) {
            ADD_FAILURE() << "fake JNI: " << function << " got a reference the fake never handed out ("
                          << static_cast<const void*>(handle) << ")";
            return nullptr;
        }
        if (object->dead && !observing) {
            ADD_FAILURE() << "fake JNI: " << function << " got the local reference " << name_of(handle)
                          << ", which died with its frame (PopLocalFrame or the end "
                             "of the native call)";
            return nullptr;
        }
        return object;
    }

    // The object a reference stands for: local references are followed.
    const Object* resolve(jobject handle, const char* function, bool observing = false) const {
        const Object* object = find(handle, function, observing);
        if (object != nullptr && object->kind == Object::Kind::local_ref) {
            return object->target;
        }
        return object;
    }

    // Like resolve(), but the object must be of `kind`: reports a null
    // reference or one of another kind, and returns null then.
    const Object* expect(jobject handle, Object::Kind kind, const char* function) {
        if (handle == nullptr) {
            ADD_FAILURE() << "fake JNI: " << function << " got a null reference";
            return nullptr;
        }
        const Object* object = resolve(handle, function);
        if (object == nullptr) return nullptr;
        if (object->kind != kind) {
            ADD_FAILURE() << "fake JNI: " << function << " wants " << kind_name(kind) << " but got " << object->name
                          << ", which is " << kind_name(object->kind);
            return nullptr;
        }
        return object;
    }

    std::string name_of(jobject handle) const {
        if (handle == nullptr) return "null";
        const auto* object = reinterpret_cast<const Object*>(handle);
        if (known.count(object) == 0) return "?unknown";
        if (object->kind == Object::Kind::local_ref) return object->target->name;
        return object->name;
    }

    void log(std::string call) { calls.push_back(std::move(call)); }

    // Reports a call JNI forbids while an exception is pending.
    void check_not_pending(std::string_view function) {
        if (!pending.empty() && !allowed_while_pending(function)) {
            ADD_FAILURE() << "fake JNI: " << function << " called while " << pending
                          << " is pending; JNI forbids this call with an exception "
                             "pending";
        }
    }

    void raise(std::string exception) { pending = std::move(exception); }

    // Counts a local reference the library now holds in the current frame.
    void add_local_ref(Object* ref) {
        ref->frame = static_cast<int>(frames.size());
        ++local_refs;
        if (local_refs > local_capacity && !capacity_reported) {
            capacity_reported = true;  // once per frame: the rest is the same fault
            ADD_FAILURE() << "fake JNI: the library holds " << local_refs << " local references, more than the "
                          << local_capacity << " it may (JNI guarantees " << default_local_capacity
                          << "; ask for more with EnsureLocalCapacity or "
                             "PushLocalFrame first)";
        }
    }

    // A fresh local reference to `target` in the current frame.
    Object* new_local_ref(Object* target) {
        Object* ref = add(Object::Kind::local_ref, target->name);
        ref->target = target;
        add_local_ref(ref);
        return ref;
    }

    // Ends the local references held by frames at `depth` and deeper.
    void kill_local_refs(int depth) {
        for (const auto& object : objects) {
            if (object->frame >= depth) object->dead = true;
        }
    }
};

namespace {

FakeJni::State& state_of(JNIEnv* env) { return *static_cast<Env*>(env)->state; }

template <typename Handle>
Handle handle_of(const Object* object) {
    return reinterpret_cast<Handle>(const_cast<Object*>(object));
}

// ---- The functions the library may use ----

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    FakeJni::State& s = state_of(env);
    s.log(std::string("FindClass(") + (name ? name : "null") + ")");
    s.check_not_pending("FindClass");
    if (name == nullptr) {
        ADD_FAILURE() << "fake JNI: FindClass got a null name";
        return nullptr;
    }
    if (std::string_view(name) != abort_class_name) {
        ADD_FAILURE() << "fake JNI: FindClass(\"" << name << "\"): the library may only look up " << abort_class_name;
        s.raise(no_class_def_found_error);
        return nullptr;
    }
    if (s.abort_class_missing) {
        s.raise(no_class_def_found_error);
        return nullptr;
    }
    // A fresh reference per call, so one kept past its frame is caught.
    return handle_of<jclass>(s.new_local_ref(s.abort_class));
}

jint JNICALL ThrowNew(JNIEnv* env, jclass cls, const char* message) {
    FakeJni::State& s = state_of(env);
    s.log("ThrowNew(" + s.name_of(cls) + "," + (message ? c_quoted(message) : std::string("null")) + ")");
    s.check_not_pending("ThrowNew");
    const Object* c = s.expect(cls, Object::Kind::class_object, "ThrowNew");
    if (c == nullptr) return JNI_ERR;
    s.raise(c->name + "(" + (message ? message : "null") + ")");
    return JNI_OK;
}

const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring str, jboolean* is_copy) {
    FakeJni::State& s = state_of(env);
    s.log("GetStringUTFChars(" + s.name_of(str) + ")");
    s.check_not_pending("GetStringUTFChars");
    if (s.borrow_failure_in.has_value()) {
        if (*s.borrow_failure_in == 0) {
            s.borrow_failure_in.reset();
            s.raise(out_of_memory_error);
            return nullptr;
        }
        --*s.borrow_failure_in;
    }
    const Object* string = s.expect(str, Object::Kind::string, "GetStringUTFChars");
    if (string == nullptr) return nullptr;
    // A fresh heap copy of exactly the bytes and the NUL: reads past it and use
    // after release are caught by ASan. operator new, not malloc, keeps an armed
    // malloc failure for the library.
    const std::size_t size = string->bytes.size();
    char* copy = new char[size + 1];
    std::memcpy(copy, string->bytes.data(), size);
    copy[size] = '\0';
    s.borrows.insert_or_assign(copy, FakeJni::State::Borrow{string, s.name_of(str), size});
    s.released.erase(copy);
    if (is_copy != nullptr) *is_copy = JNI_TRUE;
    return copy;
}

void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring str, const char* chars) {
    FakeJni::State& s = state_of(env);
    const std::string via = s.name_of(str);
    s.log("ReleaseStringUTFChars(" + via + ")");
    if (chars == nullptr) {
        ADD_FAILURE() << "fake JNI: ReleaseStringUTFChars(" << via << ") got null chars (nothing was borrowed)";
        return;
    }
    auto it = s.borrows.find(chars);
    if (it == s.borrows.end()) {
        if (s.released.count(chars) != 0) {
            ADD_FAILURE() << "fake JNI: ReleaseStringUTFChars(" << via << ") releases chars that were already released";
        } else {
            ADD_FAILURE() << "fake JNI: ReleaseStringUTFChars(" << via
                          << ") got a pointer GetStringUTFChars never returned";
        }
        return;
    }
    const Object* string = s.expect(str, Object::Kind::string, "ReleaseStringUTFChars");
    if (string == nullptr) return;  // reported; the borrow stays outstanding
    if (string != it->second.string) {
        ADD_FAILURE() << "fake JNI: ReleaseStringUTFChars(" << via << ") releases chars borrowed from "
                      << it->second.via << ", another string";
        return;
    }
    delete[] it->first;
    s.released.insert(it->first);
    s.borrows.erase(it);
}

jsize JNICALL GetArrayLength(JNIEnv* env, jarray array) {
    FakeJni::State& s = state_of(env);
    s.log("GetArrayLength(" + s.name_of(array) + ")");
    s.check_not_pending("GetArrayLength");
    if (array == nullptr) {
        ADD_FAILURE() << "fake JNI: GetArrayLength got a null reference";
        return 0;
    }
    const Object* object = s.resolve(array, "GetArrayLength");
    if (object == nullptr) return 0;
    switch (object->kind) {
        case Object::Kind::string_array: return static_cast<jsize>(object->elements.size());
        case Object::Kind::byte_array: return static_cast<jsize>(object->data.size());
        default:
            ADD_FAILURE() << "fake JNI: GetArrayLength got " << object->name << ", which is "
                          << kind_name(object->kind);
            return 0;
    }
}

jobject JNICALL GetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
    FakeJni::State& s = state_of(env);
    s.log("GetObjectArrayElement(" + s.name_of(array) + "," + std::to_string(index) + ")");
    s.check_not_pending("GetObjectArrayElement");
    const Object* a = s.expect(array, Object::Kind::string_array, "GetObjectArrayElement");
    if (a == nullptr) return nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= a->elements.size()) {
        ADD_FAILURE() << "fake JNI: GetObjectArrayElement(" << a->name << "," << index
                      << ") is out of range; the length is " << a->elements.size();
        s.raise(index_error);
        return nullptr;
    }
    Object* element = a->elements[static_cast<std::size_t>(index)];
    if (element == nullptr) return nullptr;
    // A new object per call: its address is a reference value never seen
    // before, as a JVM's local references may be.
    return handle_of<jobject>(s.new_local_ref(element));
}

void JNICALL GetByteArrayRegion(JNIEnv* env, jbyteArray array, jsize start, jsize length, jbyte* buffer) {
    FakeJni::State& s = state_of(env);
    s.log("GetByteArrayRegion(" + s.name_of(array) + "," + std::to_string(start) + "," + std::to_string(length) + ")");
    s.check_not_pending("GetByteArrayRegion");
    const Object* a = s.expect(array, Object::Kind::byte_array, "GetByteArrayRegion");
    if (a == nullptr) return;
    const auto size = static_cast<long long>(a->data.size());
    if (start < 0 || length < 0 || start > size || static_cast<long long>(length) > size - start) {
        ADD_FAILURE() << "fake JNI: GetByteArrayRegion(" << a->name << "," << start << "," << length
                      << ") is out of range; the length is " << size;
        s.raise(index_error);
        return;
    }
    if (length == 0) return;
    if (buffer == nullptr) {
        ADD_FAILURE() << "fake JNI: GetByteArrayRegion got a null buffer";
        return;
    }
    std::memcpy(buffer, a->data.data() + start, static_cast<std::size_t>(length));
}

jstring JNICALL NewStringUTF(JNIEnv* env, const char* bytes) {
    FakeJni::State& s = state_of(env);
    s.log(std::string("NewStringUTF(") + (bytes ? c_quoted(bytes) : "null") + ")");
    s.check_not_pending("NewStringUTF");
    if (bytes == nullptr) {
        ADD_FAILURE() << "fake JNI: NewStringUTF got null bytes";
        return nullptr;
    }
    if (s.check_new_string_bytes && !is_modified_utf8(bytes)) {
        ADD_FAILURE() << "fake JNI: NewStringUTF(" << c_quoted(bytes) << "): the bytes are not modified UTF-8";
    }
    Object* string = s.add(Object::Kind::string, c_quoted(bytes));
    string->bytes = bytes;
    s.new_strings.push_back(bytes);
    s.add_local_ref(string);
    return handle_of<jstring>(string);
}

jint JNICALL EnsureLocalCapacity(JNIEnv* env, jint capacity) {
    FakeJni::State& s = state_of(env);
    s.log("EnsureLocalCapacity(" + std::to_string(capacity) + ")");
    s.check_not_pending("EnsureLocalCapacity");
    if (capacity < 0) {
        ADD_FAILURE() << "fake JNI: EnsureLocalCapacity(" << capacity << ") asks for a negative capacity";
        return JNI_ERR;
    }
    if (s.fail_ensure_capacity) {
        s.raise(out_of_memory_error);
        return JNI_ERR;
    }
    if (capacity > max_reservation) {
        ADD_FAILURE() << "fake JNI: EnsureLocalCapacity(" << capacity
                      << ") asks for more than HotSpot grants in one call (" << max_reservation << ")";
        return JNI_ERR;
    }
    // As a checked HotSpot: a reservation only counts when it asks for more than
    // the frame's current capacity.
    if (capacity > s.local_capacity) s.local_capacity = s.local_refs + capacity;
    return JNI_OK;
}

jint JNICALL PushLocalFrame(JNIEnv* env, jint capacity) {
    FakeJni::State& s = state_of(env);
    s.log("PushLocalFrame(" + std::to_string(capacity) + ")");
    s.check_not_pending("PushLocalFrame");
    if (capacity < 0 || capacity > max_reservation) {
        ADD_FAILURE() << "fake JNI: PushLocalFrame(" << capacity << ") asks for a capacity HotSpot refuses";
        return JNI_ERR;
    }
    s.frames.push_back({s.local_refs, s.local_capacity, s.capacity_reported});
    s.local_refs = 0;
    s.local_capacity = capacity;
    s.capacity_reported = false;
    return JNI_OK;
}

jobject JNICALL PopLocalFrame(JNIEnv* env, jobject result) {
    FakeJni::State& s = state_of(env);
    s.log("PopLocalFrame(" + s.name_of(result) + ")");
    if (s.frames.empty()) {
        ADD_FAILURE() << "fake JNI: PopLocalFrame without a PushLocalFrame";
        return nullptr;
    }
    const Object* kept = s.resolve(result, "PopLocalFrame");
    s.kill_local_refs(static_cast<int>(s.frames.size()));
    const FakeJni::State::Frame outer = s.frames.back();
    s.frames.pop_back();
    s.local_refs = outer.local_refs;
    s.local_capacity = outer.local_capacity;
    s.capacity_reported = outer.capacity_reported;
    if (kept == nullptr) return nullptr;
    // The result lives on as a new reference in the outer frame.
    return handle_of<jobject>(s.new_local_ref(const_cast<Object*>(kept)));
}

// Allowed while an exception is pending: how the library learns that Java
// code the engine called back has thrown.
jboolean JNICALL ExceptionCheck(JNIEnv* env) {
    FakeJni::State& s = state_of(env);
    s.log("ExceptionCheck()");
    return s.pending.empty() ? JNI_FALSE : JNI_TRUE;
}

// ---- Every other slot ----

void report_forbidden(JNIEnv* env, const char* name) {
    if (env == nullptr) {
        ADD_FAILURE() << "fake JNI: the library called " << name << " (which it must not use) with a null JNIEnv";
        return;
    }
    FakeJni::State& s = state_of(env);
    s.log(std::string(name) + "(...)");
    std::string message = std::string("fake JNI: the library called ") + name + ", a JNI function it must not use";
    if (!s.pending.empty() && !allowed_while_pending(name)) {
        message += ", and while " + s.pending + " is pending, when JNI forbids calling it";
    }
    ADD_FAILURE() << message;
}

// A stub with the exact type of the slot S (calling through a function pointer
// of another type would be undefined behaviour): reports the call, returns
// zero. Every JNI function takes the JNIEnv first.
template <typename S, typename Member = std::remove_cv_t<decltype(S::member)>>
struct Forbidden;

template <typename S, typename R, typename... Args>
struct Forbidden<S, R (JNICALL* JNINativeInterface_::*)(JNIEnv*, Args...)> {
    static R JNICALL call(JNIEnv* env, Args...) {
        report_forbidden(env, S::name);
        if constexpr (!std::is_void_v<R>) return R{};
    }
};

template <typename S, typename R, typename... Args>
struct Forbidden<S, R (JNICALL* JNINativeInterface_::*)(JNIEnv*, Args..., ...)> {
    static R JNICALL call(JNIEnv* env, Args..., ...) {
        report_forbidden(env, S::name);
        if constexpr (!std::is_void_v<R>) return R{};
    }
};

JNINativeInterface_ make_table() {
    JNINativeInterface_ table{};  // the reserved slots stay null
    JniFunctionSlots::for_each([&table](auto slot) {
        using S = decltype(slot);
        table.*S::member = &Forbidden<S>::call;
    });
    table.FindClass = &FindClass;
    table.ThrowNew = &ThrowNew;
    table.GetStringUTFChars = &GetStringUTFChars;
    table.ReleaseStringUTFChars = &ReleaseStringUTFChars;
    table.GetArrayLength = &GetArrayLength;
    table.GetObjectArrayElement = &GetObjectArrayElement;
    table.GetByteArrayRegion = &GetByteArrayRegion;
    table.NewStringUTF = &NewStringUTF;
    table.EnsureLocalCapacity = &EnsureLocalCapacity;
    table.PushLocalFrame = &PushLocalFrame;
    table.PopLocalFrame = &PopLocalFrame;
    table.ExceptionCheck = &ExceptionCheck;
    return table;
}

// On the heap, as no loaded object holds it: the library takes the object
// that holds a JNIEnv's table for the Java runtime's, and this program, whose
// engine doubles fault on purpose, is none.
const JNINativeInterface_* table() {
    static const JNINativeInterface_* const instance = new JNINativeInterface_(make_table());
    return instance;
}

}  // namespace

FakeJni::State::State() {
    env.functions = table();
    env.state = this;
    abort_class = add(Object::Kind::class_object, abort_class_name);
}

FakeJni::FakeJni() : state_(std::make_unique<State>()) {}

FakeJni::~FakeJni() {
    for (const auto& [chars, borrow] : state_->borrows) {
        ADD_FAILURE() << "fake JNI: chars borrowed by GetStringUTFChars(" << borrow.via << ") were never released";
        delete[] chars;
    }
}

JNIEnv* FakeJni::env() { return &state_->env; }

jstring FakeJni::string(std::string name, std::string bytes) {
    Object* string = state_->add(Object::Kind::string, std::move(name));
    string->bytes = std::move(bytes);
    return handle_of<jstring>(string);
}

jobjectArray FakeJni::string_array(std::string name, std::vector<std::optional<std::string>> elements) {
    std::vector<Object*> strings;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (!elements[i].has_value()) {
            strings.push_back(nullptr);
            continue;
        }
        Object* element = state_->add(Object::Kind::string, name + "[" + std::to_string(i) + "]");
        element->bytes = std::move(*elements[i]);
        strings.push_back(element);
    }
    Object* array = state_->add(Object::Kind::string_array, std::move(name));
    array->elements = std::move(strings);
    return handle_of<jobjectArray>(array);
}

jbyteArray FakeJni::byte_array(std::string name, std::vector<unsigned char> bytes) {
    Object* array = state_->add(Object::Kind::byte_array, std::move(name));
    array->data = std::move(bytes);
    return handle_of<jbyteArray>(array);
}

void FakeJni::fail_borrow(int k) {
    if (k < 0) {
        ADD_FAILURE() << "fake JNI: fail_borrow(" << k << ") needs k >= 0";
        return;
    }
    state_->borrow_failure_in = k;
}

void FakeJni::abort_class_missing() { state_->abort_class_missing = true; }

void FakeJni::fail_ensure_capacity() { state_->fail_ensure_capacity = true; }

void FakeJni::allow_any_new_string_bytes() { state_->check_new_string_bytes = false; }

void FakeJni::new_native_frame() {
    state_->kill_local_refs(0);
    state_->frames.clear();
    state_->local_refs = 0;
    state_->local_capacity = default_local_capacity;
    state_->capacity_reported = false;
}

int FakeJni::open_frames() const { return static_cast<int>(state_->frames.size()); }

void FakeJni::clear_pending_exception() { state_->pending.clear(); }

void FakeJni::throw_from_java(std::string exception) { state_->raise(std::move(exception)); }

const std::vector<std::string>& FakeJni::calls() const { return state_->calls; }

void FakeJni::clear_calls() { state_->calls.clear(); }

std::string FakeJni::pending_exception() const { return state_->pending; }

int FakeJni::unreleased_borrows() const { return static_cast<int>(state_->borrows.size()); }

int FakeJni::local_refs() const { return state_->local_refs; }

std::vector<std::string> FakeJni::new_strings() const { return state_->new_strings; }

std::string FakeJni::string_bytes(jstring s) const {
    if (s == nullptr) {
        ADD_FAILURE() << "fake JNI: string_bytes(null)";
        return "";
    }
    const Object* object = state_->resolve(s, "string_bytes", /*observing=*/true);
    if (object == nullptr) return "";
    if (object->kind != Object::Kind::string) {
        ADD_FAILURE() << "fake JNI: string_bytes(" << object->name << "): it is " << kind_name(object->kind);
        return "";
    }
    return object->bytes;
}

std::string c_quoted(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                if (b < 0x20 || b >= 0x7f) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", b);
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

bool is_modified_utf8(std::string_view bytes) {
    const auto at = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const auto continuation = [&](std::size_t i) { return i < bytes.size() && (at(i) & 0xC0) == 0x80; };
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char b = at(i);
        if (b == 0) return false;
        if (b < 0x80) {
            i += 1;
        } else if ((b & 0xE0) == 0xC0) {
            if (!continuation(i + 1)) return false;
            const unsigned value = ((b & 0x1Fu) << 6) | (at(i + 1) & 0x3Fu);
            if (value != 0 && value < 0x80) return false;  // overlong, except NUL
            i += 2;
        } else if ((b & 0xF0) == 0xE0) {
            if (!continuation(i + 1) || !continuation(i + 2)) return false;
            const unsigned value = ((b & 0x0Fu) << 12) | ((at(i + 1) & 0x3Fu) << 6) | (at(i + 2) & 0x3Fu);
            if (value < 0x800) return false;  // overlong
            i += 3;
        } else {
            return false;  // a stray continuation byte, or a 4-byte form
        }
    }
    return true;
}

}  // namespace fakejni
