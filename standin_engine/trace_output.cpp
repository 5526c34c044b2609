// Choosing the trace's destination and format from the environment, and
// writing its lines.

#include "trace_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace standin_engine {

namespace {

#if defined(_WIN32)
// msvcrt's open: the descriptor is not inherited, and lines keep their \n.
constexpr int kNotInherited = _O_NOINHERIT | _O_BINARY;
#else
constexpr int kNotInherited = O_CLOEXEC;
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

}  // namespace

void choose_trace(TraceOutput& out) {
    if (out.fd_owned) close(out.fd);
    out.fd = -1;
    out.fd_owned = false;
    out.chosen = true;
    const char* format = std::getenv("TSW_STANDIN_TRACE_FORMAT");
    out.json = format != nullptr && std::strcmp(format, "json") == 0;
    const char* dest = std::getenv("TSW_STANDIN_TRACE");
    if (dest == nullptr || *dest == '\0') return;
    if (std::strcmp(dest, "stderr") == 0 || std::strcmp(dest, "-") == 0) {
        out.fd = STDERR_FILENO;
        return;
    }
    const int fd = open(dest, O_WRONLY | O_CREAT | O_APPEND | kNotInherited, 0644);
    if (fd < 0) {
        write_all(STDERR_FILENO, std::string("standin engine: cannot open trace file ") + dest + ": " +
                                     std::strerror(errno) + "; not tracing\n");
        return;
    }
    out.fd = fd;
    out.fd_owned = true;
}

void write_trace(const TraceOutput& out, const std::string& line) {
    if (out.fd >= 0) write_all(out.fd, line);
}

}  // namespace standin_engine
