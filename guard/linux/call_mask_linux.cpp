#include "guard/linux/call_mask_linux.h"

#include <pthread.h>
#include <signal.h>

#include <cstdint>

namespace jweb::guard_detail {

namespace {

// One bit per signal (signal n is bit n - 1). Eight bytes, so that it stays
// in the static TLS block a signal handler may read.
static_assert(NSIG - 1 <= 64, "a bit for every signal");
constinit thread_local std::uint64_t call_mask __attribute__((tls_model("initial-exec"))) = 0;

}  // namespace

void keep_call_mask() {
    sigset_t now;
    if (pthread_sigmask(SIG_SETMASK, nullptr, &now) != 0) return;
    std::uint64_t bits = 0;
    for (int signal = 1; signal < NSIG; ++signal)
        if (sigismember(&now, signal) == 1) bits |= std::uint64_t{1} << (signal - 1);
    call_mask = bits;
}

void put_back_call_mask() noexcept {
    sigset_t kept;
    sigemptyset(&kept);
    const std::uint64_t bits = call_mask;
    for (int signal = 1; signal < NSIG; ++signal)
        if ((bits >> (signal - 1)) & 1) sigaddset(&kept, signal);
    pthread_sigmask(SIG_SETMASK, &kept, nullptr);
}

}  // namespace jweb::guard_detail
