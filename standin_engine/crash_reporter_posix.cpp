// A crash reporter as C engines install one when they are loaded: handlers
// for the fault signals that count each fault, then hand it to the action
// they replaced, as a well-behaved reporter does. On when the environment
// variable TSW_STANDIN_CRASH_REPORTER is set to 1 as the engine loads; set to
// nochain, a reporter that hands nothing on: it writes one line and ends the
// process by the signal's default action.

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "failures.h"

namespace standin_engine {

namespace {

constexpr int fault_signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

struct sigaction g_replaced[NSIG];
std::atomic<int> g_reports{0};

void report(int signal, siginfo_t* info, void* context) {
    g_reports.fetch_add(1, std::memory_order_relaxed);
    const struct sigaction& replaced = g_replaced[signal];
    const bool handler = replaced.sa_handler != SIG_DFL && replaced.sa_handler != SIG_IGN;
    if (handler && (replaced.sa_flags & SA_SIGINFO)) {
        replaced.sa_sigaction(signal, info, context);
    } else if (handler) {
        replaced.sa_handler(signal);
    } else if (info->si_code <= 0 && replaced.sa_handler == SIG_IGN) {
        // Sent, and ignored before us: ignored still.
    } else {
        // The default action, which a fault gets even when ignored: by the
        // fault run again on return, or by the signal sent again.
        struct sigaction default_action {};
        default_action.sa_handler = SIG_DFL;
        sigaction(signal, &default_action, nullptr);
        if (info->si_code <= 0) raise(signal);
    }
}

// Only what is safe in a signal handler: the line is put together by hand.
void report_and_end(int signal, siginfo_t*, void*) {
    g_reports.fetch_add(1, std::memory_order_relaxed);
    char line[] = "standin crash reporter: signal 00\n";
    line[sizeof line - 4] = static_cast<char>('0' + signal / 10 % 10);
    line[sizeof line - 3] = static_cast<char>('0' + signal % 10);
    ssize_t written = write(STDERR_FILENO, line, sizeof line - 1);
    static_cast<void>(written);
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigaction(signal, &default_action, nullptr);  // the fault comes again on return, and ends the process
}

[[gnu::constructor]] void install_at_load() {
    const char* on = std::getenv("TSW_STANDIN_CRASH_REPORTER");
    const bool chaining = on != nullptr && std::strcmp(on, "1") == 0;
    if (!chaining && (on == nullptr || std::strcmp(on, "nochain") != 0)) return;
    for (int signal : fault_signals) {
        struct sigaction ours {};
        if (chaining)
            ours.sa_sigaction = report;
        else
            ours.sa_sigaction = report_and_end;
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&ours.sa_mask);
        sigaction(signal, &ours, &g_replaced[signal]);
    }
}

}  // namespace

int crash_reports() { return g_reports.load(std::memory_order_relaxed); }

}  // namespace standin_engine
