// Choosing the trace's destination and format from the environment, and
// writing its lines.

#include "trace_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "record.h"
#include "trace_format.h"

namespace standin_engine {

namespace {

#if defined(_WIN32)
// msvcrt's open: the descriptor is not inherited, and lines keep their \n.
constexpr int not_inherited = _O_NOINHERIT | _O_BINARY;
#else
constexpr int not_inherited = O_CLOEXEC;
#endif

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

struct FormatName {
    const char* name;
    TraceFormat format;
};

constexpr FormatName format_names[] = {
    {"text", TraceFormat::text},
    {"text-tid", TraceFormat::text_tid},
    {"json", TraceFormat::json},
};

// The refused format reported last, null for none; cleared by a format that
// is known, so that a value is reported once where it is read (load, first
// call, reset) until it changes. Made only when there is one, so that a
// loaded engine owns nothing until it is used (tests load and unload one);
// never destroyed, since calls may come during exit.
const std::string*& reported_format() {
    static const std::string* value = nullptr;
    return value;
}

// The format TSW_STANDIN_TRACE_FORMAT names, or nullopt after reporting a
// value that names none: a trace in a form nobody asked for would be read
// wrongly, so there is no falling back to another form.
std::optional<TraceFormat> read_format() {
    const char* value = std::getenv("TSW_STANDIN_TRACE_FORMAT");
    const std::optional<TraceFormat> format = parse_trace_format(value);
    const std::string*& reported = reported_format();
    if (format) {
        delete reported;
        reported = nullptr;
    } else if (reported == nullptr || *reported != value) {
        delete reported;
        reported = new std::string(value);
        write_all(STDERR_FILENO, std::string("standin engine: unknown trace format \"") + value +
                                     "\" in TSW_STANDIN_TRACE_FORMAT; the formats are " + trace_format_names() +
                                     " (unset or empty: text); no trace is written\n");
    }
    return format;
}

// A misspelt format is reported when the engine is loaded, before any call.
[[maybe_unused]] const bool g_format_checked_at_load = read_format().has_value();

long long monotonic_us() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::optional<TraceFormat> parse_trace_format(const char* value) {
    if (value == nullptr || *value == '\0') return TraceFormat::text;
    for (const FormatName& f : format_names)
        if (std::strcmp(value, f.name) == 0) return f.format;
    return std::nullopt;
}

const std::string& trace_format_names() {
    static const std::string names = [] {
        std::string list;
        for (const FormatName& f : format_names) list += (list.empty() ? "" : ", ") + std::string(f.name);
        return list;
    }();
    return names;
}

void choose_trace(TraceOutput& out) {
    if (out.fd_owned) close(out.fd);
    out.fd = -1;
    out.fd_owned = false;
    out.chosen = true;
    out.lines = 0;
    const std::optional<TraceFormat> format = read_format();
    if (!format) return;
    out.format = *format;
    const char* dest = std::getenv("TSW_STANDIN_TRACE");
    if (dest == nullptr || *dest == '\0') return;
    if (std::strcmp(dest, "stderr") == 0 || std::strcmp(dest, "-") == 0) {
        out.fd = STDERR_FILENO;
        return;
    }
    const int fd = open(dest, O_WRONLY | O_CREAT | O_APPEND | not_inherited, 0644);
    if (fd < 0) {
        write_all(STDERR_FILENO, std::string("standin engine: cannot open trace file ") + dest + ": " +
                                     std::strerror(errno) + "; not tracing\n");
        return;
    }
    out.fd = fd;
    out.fd_owned = true;
}

void write_trace(TraceOutput& out, const Record& r, int cap) {
    if (out.fd < 0) return;
    LineStamp stamp;
    stamp.seq = ++out.lines;
    if (out.format == TraceFormat::json) stamp.monotonic_us = monotonic_us();
    write_all(out.fd, trace_line(r, cap, out.format, stamp));
}

}  // namespace standin_engine
