// Reading a variadic list and where it ends. Concurrent lists have no marker
// of their own: without an announced length they end at "LAST" like the
// others, read checked since a script may well have passed none.

#include "list_reading.h"

#include <atomic>
#include <string>
#include <string_view>
#include <utility>

#include "checked_read.h"

namespace standin_engine {

namespace {

std::atomic<int> g_list_cap{STANDIN_DEFAULT_LIST_CAP};
std::atomic<bool> g_checked_reads{false};
thread_local int t_announced_length = -1;  // -1: none

}  // namespace

// Not instrumented for addresses: past a missing marker va_arg walks the
// caller's stack, which is the point of the checked reading, not a bug here.
[[gnu::no_sanitize("address")]] Record read_list(const char* entry, ListEnd rule, const char* first, va_list* ap) {
    Record r(entry);
    r.is_list = true;
    const long long announced = std::exchange(t_announced_length, -1);
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

int list_cap() { return g_list_cap.load(std::memory_order_relaxed); }

void set_list_cap(int cap) { g_list_cap.store(cap, std::memory_order_relaxed); }

void set_checked_reads(bool on) { g_checked_reads.store(on, std::memory_order_relaxed); }

void announce_list_length(int n) { t_announced_length = n; }

void reset_list_reading() {
    g_list_cap.store(STANDIN_DEFAULT_LIST_CAP, std::memory_order_relaxed);
    g_checked_reads.store(false, std::memory_order_relaxed);
    t_announced_length = -1;
}

}  // namespace standin_engine
