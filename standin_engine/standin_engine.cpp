// The stand-in replay engine: every entry point of the real engine, recording
// what it is given, tracing it, and returning a chosen result or failing on
// request. Built twice (see CMakeLists.txt); STANDIN_NO_REVERT_AUTO_HEADER
// leaves out web_revert_auto_header, like engine versions that lack it.

#include "standin_control.h"
#include "standin_entries.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// msvcrt's open: the descriptor is not inherited, and lines keep their \n.
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#else
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/uio.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#define STANDIN_ENTRY extern "C" STANDIN_API int

namespace {

using Arg = std::optional<std::string>;  // nullopt: a null pointer

struct Record {
    explicit Record(const char* entry) : name(entry) {}
    const char* name;  // a string literal
    long long thread_id = 0;
    std::string thread_name;
    std::vector<Arg> args;
    bool is_list = false;
    bool has_int = false;
    int int_arg = 0;
    int result = 0;
    int failure = STANDIN_FAIL_NONE;
    int list_status = STANDIN_LIST_COMPLETE;
};

struct Shared {
    std::mutex mutex;
    std::deque<Record> records;  // a deque: references stay valid as it grows
    bool trace_chosen = false;
    int trace_fd = -1;
    bool trace_fd_owned = false;
};

// Never destroyed: calls may still arrive from other threads during exit.
Shared& shared() {
    static Shared* s = new Shared;
    return *s;
}

std::atomic<int> g_result{0};
std::atomic<int> g_list_cap{STANDIN_DEFAULT_LIST_CAP};
std::atomic<bool> g_checked_reads{false};
std::atomic<unsigned> g_generation{0};  // bumped by reset; refreshes thread names

struct ThreadState {
    int injected = STANDIN_FAIL_NONE;
    int announced_length = -1;
    long long tid = 0;  // 0: not read yet
    unsigned name_generation = ~0u;
    std::string name;
};
#if defined(_WIN32)
// mingw emulates thread_local, and at thread exit frees a thread's storage
// before the destructors of the objects in it run, which then free what they
// own again (heap corruption in 32-bit processes). On Windows the per-thread
// state is therefore made on the heap and never destroyed: some bytes per thread.
thread_local ThreadState& t_state = *new ThreadState;
#else
thread_local ThreadState t_state;
#endif

#if defined(_WIN32)
long long current_tid() {
    ThreadState& t = t_state;
    if (t.tid == 0) t.tid = static_cast<long long>(GetCurrentThreadId());
    return t.tid;
}

// SetThreadDescription's name as UTF-8; "" where the system has none
// (GetThreadDescription came with Windows 10 1607, so it is looked up).
std::string read_thread_name() {
    using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    static const auto get_description = reinterpret_cast<GetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetThreadDescription")));
    PWSTR wide = nullptr;
    if (get_description == nullptr || FAILED(get_description(GetCurrentThread(), &wide)) || wide == nullptr)
        return {};
    char buf[256] = {};
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, buf, sizeof buf, nullptr, nullptr) == 0) buf[0] = '\0';
    LocalFree(wide);
    return buf;
}
#else
std::atomic<pid_t> g_pid{0};  // for process_vm_readv; 0: not read yet

// A forked child has a new pid and its one thread a new id.
[[maybe_unused]] const int g_atfork_registered = pthread_atfork(nullptr, nullptr, [] {
    g_pid.store(0, std::memory_order_relaxed);
    t_state.tid = 0;
});

long long current_tid() {
    ThreadState& t = t_state;
    if (t.tid == 0) t.tid = static_cast<long long>(gettid());
    return t.tid;
}

std::string read_thread_name() {
    char buf[17] = {};
    if (prctl(PR_GET_NAME, buf) != 0) buf[0] = '\0';
    return buf;
}
#endif

// Read once per thread and reset rather than per call: a system call per
// call would dominate the cost of the stand-in.
const std::string& current_thread_name() {
    ThreadState& t = t_state;
    const unsigned generation = g_generation.load(std::memory_order_relaxed);
    if (t.name_generation != generation) {
        t.name = read_thread_name();
        t.name_generation = generation;
    }
    return t.name;
}

// ---- reading memory that may not be there ----

std::atomic<bool> g_probe_unavailable{false};

// Copies n bytes from our own address space, failing instead of faulting on
// memory that is not readable. Where the kernel refuses the probe (a seccomp
// filter), falls back to a plain copy.
bool copy_checked(void* dst, const void* src, std::size_t n) {
#if defined(_WIN32)
    SIZE_T got = 0;
    return ReadProcessMemory(GetCurrentProcess(), src, dst, n, &got) && got == n;
#else
    if (g_probe_unavailable.load(std::memory_order_relaxed)) {
        std::memcpy(dst, src, n);
        return true;
    }
    pid_t pid = g_pid.load(std::memory_order_relaxed);
    if (pid == 0) {
        pid = getpid();
        g_pid.store(pid, std::memory_order_relaxed);
    }
    iovec local{dst, n};
    iovec remote{const_cast<void*>(src), n};
    const ssize_t got = process_vm_readv(pid, &local, 1, &remote, 1, 0);
    if (got == static_cast<ssize_t>(n)) return true;
    if (got < 0 && (errno == ENOSYS || errno == EPERM)) {
        g_probe_unavailable.store(true, std::memory_order_relaxed);
        std::memcpy(dst, src, n);
        return true;
    }
    return false;
#endif
}

// A C string, page by page so that a string ending just before an unmapped
// page reads whole.
bool read_string_checked(const char* p, std::string& out) {
    constexpr std::uintptr_t kPage = 4096;  // the smallest page; larger ones are multiples
    char buf[kPage];
    for (;;) {
        const auto addr = reinterpret_cast<std::uintptr_t>(p);
        const std::size_t chunk = kPage - addr % kPage;
        if (!copy_checked(buf, p, chunk)) return false;
        if (const void* nul = std::memchr(buf, '\0', chunk)) {
            out.append(buf, static_cast<const char*>(nul) - buf);
            return true;
        }
        out.append(buf, chunk);
        p += chunk;
    }
}

// Whether va_arg can read the next pointer without faulting. On x86-64 the
// first register-passed arguments come from the register save area, the rest
// from the caller's stack, whose end a runaway read can reach.
bool next_slot_readable([[maybe_unused]] va_list* ap) {
#if defined(__x86_64__) && defined(__linux__)
    struct SysVVaList {
        unsigned gp_offset;
        unsigned fp_offset;
        void* overflow_arg_area;
        void* reg_save_area;
    };
    static_assert(sizeof(va_list) == sizeof(SysVVaList));
    SysVVaList v;
    std::memcpy(&v, *ap, sizeof v);
    if (v.gp_offset < 6 * 8) return true;  // still in the six saved registers
    char slot[sizeof(void*)];
    return copy_checked(slot, v.overflow_arg_area, sizeof slot);
#elif defined(_WIN64)
    char slot[sizeof(void*)];  // every variadic argument is in a stack slot, *ap points at the next
    return copy_checked(slot, *ap, sizeof slot);
#else
    return true;
#endif
}

// ---- the trace ----

void write_all(int fd, const std::string& line) {
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// TSW_STANDIN_TRACE_FORMAT=json: one JSON object per line, for tools. Chosen
// with the destination; written and read under shared().mutex.
bool g_trace_json = false;

void choose_trace_locked(Shared& s) {
    if (s.trace_fd_owned) close(s.trace_fd);
    s.trace_fd = -1;
    s.trace_fd_owned = false;
    s.trace_chosen = true;
    const char* format = std::getenv("TSW_STANDIN_TRACE_FORMAT");
    g_trace_json = format != nullptr && std::strcmp(format, "json") == 0;
    const char* dest = std::getenv("TSW_STANDIN_TRACE");
    if (dest == nullptr || *dest == '\0') return;
    if (std::strcmp(dest, "stderr") == 0 || std::strcmp(dest, "-") == 0) {
        s.trace_fd = STDERR_FILENO;
        return;
    }
    const int fd = open(dest, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        write_all(STDERR_FILENO, std::string("standin engine: cannot open trace file ") + dest + ": " +
                                     std::strerror(errno) + "; not tracing\n");
        return;
    }
    s.trace_fd = fd;
    s.trace_fd_owned = true;
}

bool is_hex_digit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A C string literal for the bytes. \xHH takes every hex digit that follows
// it, so a hex digit right after one starts a new literal: "\xff""A".
void append_quoted(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    bool after_hex_escape = false;
    for (const unsigned char c : bytes) {
        if (after_hex_escape && is_hex_digit(c)) out += "\"\"";
        after_hex_escape = false;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c >= 0x7f) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 0xf];
                    after_hex_escape = true;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

bool is_marker(std::string_view s) {
    return s == "LAST" || s == "ENDFORM" || s == "ITEMDATA";
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
// Java's own encoding of U+0000 (C0 80) and of characters beyond U+FFFF (a
// surrogate pair, three bytes each) is not.
bool is_utf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80) continue;
        int more;
        unsigned char low = 0x80, high = 0xbf;  // the allowed range of the second byte
        if (c >= 0xc2 && c <= 0xdf) more = 1;
        else if (c == 0xe0) more = 2, low = 0xa0;
        else if (c == 0xed) more = 2, high = 0x9f;
        else if (c >= 0xe1 && c <= 0xef) more = 2;
        else if (c == 0xf0) more = 3, low = 0x90;
        else if (c == 0xf4) more = 3, high = 0x8f;
        else if (c >= 0xf1 && c <= 0xf3) more = 3;
        else return false;
        if (end - p < more || *p < low || *p > high) return false;
        for (int k = 1; k < more; ++k)
            if ((p[k] & 0xc0) != 0x80) return false;
        p += more;
    }
    return true;
}

// A JSON value for the bytes: a string when they are UTF-8, otherwise
// {"hex":"..."} with every byte, so that no byte is lost or guessed at.
void append_json_value(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    if (!is_utf8(bytes)) {
        out += "{\"hex\":\"";
        for (const unsigned char c : bytes) {
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        }
        out += "\"}";
        return;
    }
    out += '"';
    for (const unsigned char c : bytes) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 0xf];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

const char* failure_text(int kind) {
    switch (kind) {
        case STANDIN_FAIL_THROW_INT: return "throw int";
        case STANDIN_FAIL_THROW_RUNTIME_ERROR: return "throw std::runtime_error";
        case STANDIN_FAIL_THROW_UNRELATED: return "throw standin::UnrelatedFailure";
        case STANDIN_FAIL_SEGV: return "SIGSEGV";
        case STANDIN_FAIL_FPE: return "SIGFPE";
        case STANDIN_FAIL_BUS: return "SIGBUS";
        case STANDIN_FAIL_ILL: return "SIGILL";
        case STANDIN_FAIL_STACK_OVERFLOW: return "stack overflow";
        case STANDIN_FAIL_RAISE_FOREIGN: return "raised 0xE06D7363";
        default: return "?";
    }
}

std::string json_trace_line(const Record& r, int cap) {
    std::string line = "{\"entry\":\"";
    line += r.name;
    line += "\",\"thread\":" + std::to_string(r.thread_id) + ",\"args\":[";
    if (r.has_int) line += std::to_string(r.int_arg);
    for (std::size_t i = 0; i < r.args.size(); ++i) {
        if (i > 0 || r.has_int) line += ',';
        if (r.args[i])
            append_json_value(line, *r.args[i]);
        else
            line += "null";
    }
    line += ']';
    if (r.list_status == STANDIN_LIST_CAPPED)
        line += ",\"list\":\"capped\",\"cap\":" + std::to_string(cap);
    else if (r.list_status == STANDIN_LIST_UNREADABLE)
        line += ",\"list\":\"unreadable\"";
    if (r.failure != STANDIN_FAIL_NONE)
        line += std::string(",\"failure\":\"") + failure_text(r.failure) + '"';
    else
        line += ",\"result\":" + std::to_string(r.result);
    line += "}\n";
    return line;
}

// Where jweb_custom_request2 puts its body: the argument right before the
// closing LAST of web_custom_request, after the name and the method. The
// engine gets only its address, so the trace adds its length.
bool is_body_position(const Record& r, std::size_t i) {
    return std::strcmp(r.name, "web_custom_request") == 0 && r.list_status == STANDIN_LIST_COMPLETE &&
           i >= 2 && i + 2 == r.args.size() && r.args.back() == "LAST";
}

std::string trace_line(const Record& r, int cap) {
    if (g_trace_json) return json_trace_line(r, cap);
    std::string line = r.name;
    line += '(';
    bool first = true;
    auto separate = [&] {
        if (!first) line += ", ";
        first = false;
    };
    if (r.has_int) {
        separate();
        line += std::to_string(r.int_arg);
    }
    for (std::size_t i = 0; i < r.args.size(); ++i) {
        const Arg& a = r.args[i];
        separate();
        if (!a) {
            line += "NULL";
        } else if (r.is_list && is_marker(*a)) {
            line += *a;
        } else {
            append_quoted(line, *a);
            if (is_body_position(r, i)) line += " /* " + std::to_string(a->size()) + " bytes */";
        }
    }
    if (r.list_status != STANDIN_LIST_COMPLETE) {
        separate();
        line += "...";
    }
    line += ')';
    std::string notes;
    if (r.list_status == STANDIN_LIST_CAPPED)
        notes = "list cut at the cap of " + std::to_string(cap) + " arguments";
    else if (r.list_status == STANDIN_LIST_UNREADABLE)
        notes = "list cut: argument " + std::to_string(r.args.size()) + " is unreadable";
    if (r.failure != STANDIN_FAIL_NONE) {
        if (!notes.empty()) notes += "; ";
        notes += "injected failure: ";
        notes += failure_text(r.failure);
    } else {
        line += " = " + std::to_string(r.result);
    }
    if (!notes.empty()) line += " /* " + notes + " */";
    line += '\n';
    return line;
}

// ---- injected failures ----

[[gnu::noinline, gnu::no_sanitize("null")]] int null_dereference() {
    volatile int* volatile p = nullptr;
    return *p;
}

// long long: 64 bits for idivq on Windows too, where long is 32.
[[gnu::noinline, gnu::no_sanitize("undefined")]] long long divide_by_zero() {
    volatile long long dividend = 1;
    volatile long long divisor = 0;
    long long n = dividend;
    const long long d = divisor;
#if defined(__x86_64__)
    // The instruction itself, so no sanitizer check can get there first.
    asm volatile("cqto\n\tidivq %1" : "+a"(n) : "r"(d) : "rdx", "cc");
    return n;
#elif defined(__i386__)
    // 32-bit x86 divides 64-bit numbers in a library routine, which does not
    // trap on zero: the 32-bit instruction does.
    int n32 = static_cast<int>(n);
    asm volatile("cltd\n\tidivl %1" : "+a"(n32) : "r"(static_cast<int>(d)) : "edx", "cc");
    return n32;
#else
    return n / d;
#endif
}

#if !defined(_WIN32)
// One shared page of a file that was then cut to nothing: touching it is an
// access past end of file, which the kernel answers with SIGBUS. Made once
// and kept, so a failure that never returns here leaks nothing.
volatile char* page_past_eof() {
    static volatile char* const page = []() -> volatile char* {
        const long size = sysconf(_SC_PAGESIZE);
        int fd = memfd_create("standin-sigbus", MFD_CLOEXEC);
        if (fd < 0) {
            std::FILE* f = std::tmpfile();
            fd = f ? dup(fileno(f)) : -1;
            if (f) std::fclose(f);
        }
        if (fd < 0) return nullptr;
        void* p = MAP_FAILED;
        if (ftruncate(fd, size) == 0) p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        const bool cut = p != MAP_FAILED && ftruncate(fd, 0) == 0;
        close(fd);
        return cut ? static_cast<volatile char*>(p) : nullptr;
    }();
    return page;
}

[[gnu::noinline]] int touch_past_eof() {
    volatile char* page = page_past_eof();
    if (page == nullptr) return raise(SIGBUS);  // no file to map: the signal at least
    return *page;
}
#endif

// What an engine built with Microsoft's compiler raises for a C++ throw: a
// structured exception of code 0xE06D7363 that g++ code cannot catch.
[[noreturn]] void raise_foreign_exception() {
#if defined(_WIN32)
    const ULONG_PTR msvc_throw[4] = {0x19930520, 0, 0, 0};
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 4, msvc_throw);
#endif
    std::abort();  // refused by standin_inject_failure elsewhere
}

[[gnu::noinline]] void illegal_instruction() {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("ud2");
#elif defined(__aarch64__)
    asm volatile("udf #0");
#else
    raise(SIGILL);
#endif
}

volatile bool g_keep_recursing = true;  // always true; the compiler cannot know

// Not a tail call (the sum uses the frame after the call) and every frame is
// written, so it cannot become a loop or skip over a guard page.
[[gnu::noinline, gnu::noclone]] int overflow_stack(volatile char* previous) {
    volatile char frame[256];
    for (volatile char& c : frame) c = previous ? previous[0] : 1;
    if (g_keep_recursing) return overflow_stack(frame) + frame[1];
    return frame[0];
}

// 32-bit Windows only: i686 mingw-w64 unwinds C++ exceptions with DWARF
// tables whose registry is per statically linked DLL, so a g++ throw from
// this DLL ends in std::terminate before a catch in the caller's DLL sees
// it. There the C++ kinds are raised the way an engine built with Microsoft's
// compiler throws: as the structured exception 0xE06D7363.
void raise_cxx_failure_as_msvc_engine_does([[maybe_unused]] int kind) {
#if defined(_WIN32) && defined(__i386__)
    if (kind == STANDIN_FAIL_THROW_INT || kind == STANDIN_FAIL_THROW_RUNTIME_ERROR ||
        kind == STANDIN_FAIL_THROW_UNRELATED)
        raise_foreign_exception();
#endif
}

void fail(int kind, const char* entry) {
    raise_cxx_failure_as_msvc_engine_does(kind);
    switch (kind) {
        case STANDIN_FAIL_THROW_INT: throw int{STANDIN_THROWN_INT};
        case STANDIN_FAIL_THROW_RUNTIME_ERROR:
            throw std::runtime_error(std::string("standin engine: injected failure in ") + entry);
        case STANDIN_FAIL_THROW_UNRELATED: throw standin::UnrelatedFailure{entry};
        case STANDIN_FAIL_SEGV: null_dereference(); break;
        case STANDIN_FAIL_FPE: divide_by_zero(); break;
#if !defined(_WIN32)
        case STANDIN_FAIL_BUS: touch_past_eof(); break;
#endif
        case STANDIN_FAIL_RAISE_FOREIGN: raise_foreign_exception();
        case STANDIN_FAIL_ILL: illegal_instruction(); break;
        case STANDIN_FAIL_STACK_OVERFLOW: overflow_stack(nullptr); break;
        default: break;
    }
}

// ---- recording ----

// TSW_STANDIN_RECORD=off runs the engine unrecorded, for benchmarks: an entry
// then only returns its result, unless a failure is injected on this thread.
const bool g_unrecorded = [] {
    const char* record = std::getenv("TSW_STANDIN_RECORD");
    return record != nullptr && std::strcmp(record, "off") == 0;
}();

// ---- expected calls ----

// What a test announced for the next call on its thread (standin_expect_call).
struct ExpectedCall {
    std::string entry;
    std::vector<Arg> args;
    int result = 0;
};
#if defined(_WIN32)
thread_local std::optional<ExpectedCall>& t_expected = *new std::optional<ExpectedCall>;  // as t_state
#else
thread_local std::optional<ExpectedCall> t_expected;
#endif

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
                       std::to_string(expected.args.size()) + " arguments, the engine received " + r.name +
                       " with " + std::to_string(received.size());
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
    if (!t_expected) return g_result.load(std::memory_order_relaxed);
    const ExpectedCall expected = std::move(*t_expected);
    t_expected.reset();
    std::vector<Arg> received = received_arguments(r);
    if (expected.entry != r.name || expected.args != received) {
        g_mismatches.fetch_add(1, std::memory_order_relaxed);
        auto* text = new std::string(describe_mismatch(expected, r, received));
        const std::string* none = nullptr;
        if (!g_first_mismatch.compare_exchange_strong(none, text)) delete text;
    }
    return expected.result;
}

// Calls with an expectation are read and checked in every mode.
inline bool unrecorded_call() {
    return g_unrecorded && t_state.injected == STANDIN_FAIL_NONE && !t_expected;
}

// Stores the call, traces it, then fails or returns. No lock is held and no
// owning object is alive here when a failure starts: a fault may leave this
// frame by a jump that runs no destructors.
int finish(Record&& r) {
    ThreadState& t = t_state;
    r.thread_id = current_tid();
    r.thread_name = current_thread_name();
    r.failure = std::exchange(t.injected, STANDIN_FAIL_NONE);
    const int result = take_expected_call(r);
    r.result = result;
    const int failure = r.failure;
    const char* const entry = r.name;
    {
        Shared& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.trace_chosen) choose_trace_locked(s);
        if (s.trace_fd >= 0) write_all(s.trace_fd, trace_line(r, g_list_cap.load(std::memory_order_relaxed)));
        s.records.push_back(std::move(r));
    }
    if (failure != STANDIN_FAIL_NONE) fail(failure, entry);
    return result;
}

int record_fixed(const char* entry, std::initializer_list<const char*> args) {
    if (unrecorded_call()) return g_result.load(std::memory_order_relaxed);
    Record r(entry);
    r.args.reserve(args.size());
    for (const char* p : args) r.args.push_back(p ? Arg(p) : std::nullopt);
    return finish(std::move(r));
}

enum class ListEnd { last, endform, concurrent };

// Reads a list up to and including its marker, or exactly the announced
// number of arguments. Concurrent lists have no marker of their own: without
// an announced length they end at "LAST" like the others, read checked since
// a script may well have passed none.
// Not instrumented for addresses: past a missing marker va_arg walks the
// caller's stack, which is the point of the checked reading, not a bug here.
[[gnu::no_sanitize("address")]] Record read_list(const char* entry, ListEnd rule, const char* first,
                                                 va_list* ap) {
    Record r(entry);
    r.is_list = true;
    ThreadState& t = t_state;
    const long long announced = std::exchange(t.announced_length, -1);
    const long long cap = g_list_cap.load(std::memory_order_relaxed);
    const bool checked =
        g_checked_reads.load(std::memory_order_relaxed) || (announced < 0 && rule == ListEnd::concurrent);
    const std::string_view marker = rule == ListEnd::endform ? "ENDFORM" : "LAST";
    for (long long n = 0;; ++n) {
        if (n == announced) break;
        if (n == cap) {
            r.list_status = STANDIN_LIST_CAPPED;
            break;
        }
        const char* p = first;
        if (n > 0) {
            if (checked && !next_slot_readable(ap)) {
                r.list_status = STANDIN_LIST_UNREADABLE;
                break;
            }
            p = va_arg(*ap, const char*);
        }
        if (p == nullptr) {
            r.args.emplace_back(std::nullopt);
            continue;
        }
        std::string s;
        if (checked) {
            if (!read_string_checked(p, s)) {
                r.list_status = STANDIN_LIST_UNREADABLE;
                break;
            }
        } else {
            s = p;
        }
        const bool end = announced < 0 && s == marker;
        r.args.emplace_back(std::move(s));
        if (end) break;
    }
    return r;
}

}  // namespace

// va_end before the call is stored: an injected failure may leave by a jump.
#define STANDIN_LIST_ENTRY(entry, rule)                                  \
    STANDIN_ENTRY entry(const char* first, ...) {                         \
        if (unrecorded_call()) return g_result.load(std::memory_order_relaxed); \
        va_list ap;                                                       \
        va_start(ap, first);                                              \
        std::optional<Record> r;                                          \
        try {                                                             \
            r.emplace(read_list(#entry, rule, first, &ap));               \
        } catch (...) { /* out of memory */                               \
            va_end(ap);                                                   \
            throw;                                                        \
        }                                                                 \
        va_end(ap);                                                       \
        return finish(std::move(*r));                                     \
    }

// ---- the engine's entries ----

STANDIN_ENTRY InitWebVuser(void) { return record_fixed("InitWebVuser", {}); }
STANDIN_ENTRY TerminateWebVuser(void) { return record_fixed("TerminateWebVuser", {}); }
STANDIN_ENTRY web_cleanup_cookies(void) { return record_fixed("web_cleanup_cookies", {}); }
STANDIN_ENTRY web_disable_keep_alive(void) { return record_fixed("web_disable_keep_alive", {}); }
STANDIN_ENTRY web_enable_keep_alive(void) { return record_fixed("web_enable_keep_alive", {}); }
STANDIN_ENTRY web_cache_cleanup(void) { return record_fixed("web_cache_cleanup", {}); }

STANDIN_ENTRY web_get_int_property(int property) {
    if (unrecorded_call()) return g_result.load(std::memory_order_relaxed);
    Record r("web_get_int_property");
    r.has_int = true;
    r.int_arg = property;
    return finish(std::move(r));
}

STANDIN_ENTRY URL(const char* a) { return record_fixed("URL", {a}); }
STANDIN_ENTRY web_set_max_html_param_len(const char* a) { return record_fixed("web_set_max_html_param_len", {a}); }
STANDIN_ENTRY web_set_proxy(const char* a) { return record_fixed("web_set_proxy", {a}); }
STANDIN_ENTRY web_set_secure_proxy(const char* a) { return record_fixed("web_set_secure_proxy", {a}); }
STANDIN_ENTRY web_set_proxy_bypass(const char* a) { return record_fixed("web_set_proxy_bypass", {a}); }
STANDIN_ENTRY web_set_connections_limit(const char* a) { return record_fixed("web_set_connections_limit", {a}); }
STANDIN_ENTRY web_add_cookie(const char* a) { return record_fixed("web_add_cookie", {a}); }
STANDIN_ENTRY web_remove_cookie(const char* a) { return record_fixed("web_remove_cookie", {a}); }
#ifndef STANDIN_NO_REVERT_AUTO_HEADER
STANDIN_ENTRY web_revert_auto_header(const char* a) { return record_fixed("web_revert_auto_header", {a}); }
#endif
STANDIN_ENTRY web_set_certificate(const char* a) { return record_fixed("web_set_certificate", {a}); }
STANDIN_ENTRY web_set_max_retries(const char* a) { return record_fixed("web_set_max_retries", {a}); }
STANDIN_ENTRY web_set_proxy_bypass_local(const char* a) { return record_fixed("web_set_proxy_bypass_local", {a}); }

STANDIN_ENTRY web_set_timeout(const char* a, const char* b) { return record_fixed("web_set_timeout", {a, b}); }
STANDIN_ENTRY web_add_header(const char* a, const char* b) { return record_fixed("web_add_header", {a, b}); }
STANDIN_ENTRY web_add_auto_header(const char* a, const char* b) { return record_fixed("web_add_auto_header", {a, b}); }
STANDIN_ENTRY web_save_header(const char* a, const char* b) { return record_fixed("web_save_header", {a, b}); }
STANDIN_ENTRY web_set_sockets_option(const char* a, const char* b) {
    return record_fixed("web_set_sockets_option", {a, b});
}

STANDIN_ENTRY SetUser(const char* a, const char* b, const char* c) { return record_fixed("SetUser", {a, b, c}); }
STANDIN_ENTRY web_create_html_param(const char* a, const char* b, const char* c) {
    return record_fixed("web_create_html_param", {a, b, c});
}
STANDIN_ENTRY web_set_user(const char* a, const char* b, const char* c) {
    return record_fixed("web_set_user", {a, b, c});
}
STANDIN_ENTRY web_create_radio_button_param(const char* a, const char* b, const char* c) {
    return record_fixed("web_create_radio_button_param", {a, b, c});
}

STANDIN_ENTRY web_create_html_param_ex(const char* a, const char* b, const char* c, const char* d) {
    return record_fixed("web_create_html_param_ex", {a, b, c, d});
}

STANDIN_LIST_ENTRY(FormSubmit, ListEnd::endform)
STANDIN_LIST_ENTRY(web_url, ListEnd::last)
STANDIN_LIST_ENTRY(web_link, ListEnd::last)
STANDIN_LIST_ENTRY(web_image, ListEnd::last)
STANDIN_LIST_ENTRY(web_submit_form, ListEnd::last)
STANDIN_LIST_ENTRY(web_submit_data, ListEnd::last)
STANDIN_LIST_ENTRY(web_custom_request, ListEnd::last)
STANDIN_LIST_ENTRY(web_find, ListEnd::last)
STANDIN_LIST_ENTRY(web_concurrent_start, ListEnd::concurrent)
STANDIN_LIST_ENTRY(web_concurrent_end, ListEnd::concurrent)
STANDIN_LIST_ENTRY(web_image_check, ListEnd::last)
STANDIN_LIST_ENTRY(web_java_check, ListEnd::last)
STANDIN_LIST_ENTRY(web_global_verification, ListEnd::last)
STANDIN_LIST_ENTRY(web_reg_find, ListEnd::last)
STANDIN_LIST_ENTRY(web_reg_save_param, ListEnd::last)
STANDIN_LIST_ENTRY(web_remove_auto_header, ListEnd::last)
STANDIN_LIST_ENTRY(web_set_certificate_ex, ListEnd::last)
STANDIN_LIST_ENTRY(web_create_html_query, ListEnd::last)
STANDIN_LIST_ENTRY(web_set_option, ListEnd::last)

// ---- control ----

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
    Shared& s = shared();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.records.clear();
        choose_trace_locked(s);
    }
    g_result.store(0, std::memory_order_relaxed);
    g_list_cap.store(STANDIN_DEFAULT_LIST_CAP, std::memory_order_relaxed);
    g_checked_reads.store(false, std::memory_order_relaxed);
    g_generation.fetch_add(1, std::memory_order_relaxed);
    t_state.injected = STANDIN_FAIL_NONE;
    t_state.announced_length = -1;
    t_expected.reset();
}

STANDIN_API void standin_set_result(int result) { g_result.store(result, std::memory_order_relaxed); }

STANDIN_API int standin_inject_failure(int kind) {
    if (kind < STANDIN_FAIL_NONE || kind > STANDIN_FAIL_RAISE_FOREIGN) return -1;
#if defined(_WIN32)
    if (kind == STANDIN_FAIL_BUS) return -1;  // a file cut under its mapping: Windows refuses to cut it
#else
    if (kind == STANDIN_FAIL_RAISE_FOREIGN) return -1;
#endif
    t_state.injected = kind;
    return 0;
}

STANDIN_API int standin_expect_call(const char* entry, int count, const char* const* args,
                                    const size_t* lengths, int result) {
    if (entry == nullptr || count < 0 || (count > 0 && (args == nullptr || lengths == nullptr))) return -1;
    ExpectedCall expected{entry, {}, result};
    expected.args.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k)
        expected.args.push_back(args[k] ? Arg(std::in_place, args[k], lengths[k]) : std::nullopt);
    t_expected = std::move(expected);
    return 0;
}

STANDIN_API int standin_expectation_mismatches(void) { return g_mismatches.load(std::memory_order_relaxed); }

STANDIN_API const char* standin_first_mismatch(void) {
    const std::string* text = g_first_mismatch.load();
    return text ? text->c_str() : nullptr;
}

STANDIN_API int standin_expect_list_length(int n) {
    if (n < 0) return -1;
    t_state.announced_length = n;
    return 0;
}

STANDIN_API int standin_set_list_cap(int cap) {
    if (cap < 0) return -1;
    g_list_cap.store(cap, std::memory_order_relaxed);
    return 0;
}

STANDIN_API void standin_set_checked_reads(int on) { g_checked_reads.store(on != 0, std::memory_order_relaxed); }

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
