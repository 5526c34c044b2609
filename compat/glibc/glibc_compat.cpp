// What static libraries from the build machine ask of the C library that
// glibc 2.17 lacks (cmake/JwebPortableLinux.cmake links with --wrap for these
// names): libffi's arm64 closure code memfd_create; a static libstdc++, in
// the objects that carry their own, the rest, which its exception and string
// code reach whether or not the object itself uses std::random_device or
// thread_local. Everything here is hidden.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using ThreadExitDestructor = void (*)(void*);

// glibc before 2.18: the destructors of a thread's thread_local objects run
// from a key's destructor at thread exit, the most recent first.
struct PendingDestructor {
    ThreadExitDestructor destructor;
    void* object;
    PendingDestructor* next;
};
pthread_key_t pending_key;
pthread_once_t pending_key_once = PTHREAD_ONCE_INIT;

void run_pending(void* head) {
    // A destructor that registers another sets the key again; pthread then
    // calls this once more for it.
    pthread_setspecific(pending_key, nullptr);
    for (auto* pending = static_cast<PendingDestructor*>(head); pending != nullptr;) {
        PendingDestructor* next = pending->next;
        pending->destructor(pending->object);
        std::free(pending);
        pending = next;
    }
}

void make_pending_key() { pthread_key_create(&pending_key, run_pending); }

bool fill_from_urandom(void* buffer, std::size_t length) {
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    auto* out = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        ssize_t got = read(fd, out, length);
        if (got <= 0 && errno != EINTR) break;
        if (got > 0) out += got, length -= static_cast<std::size_t>(got);
    }
    close(fd);
    return length == 0;
}

}  // namespace

extern "C" {

// glibc 2.27; kernels before 3.17 answer ENOSYS, which libffi expects.
[[gnu::visibility("hidden")]] int __wrap_memfd_create(const char* name, unsigned int flags) {
    return static_cast<int>(syscall(SYS_memfd_create, name, flags));
}

// glibc 2.32: whether the process has a single thread, so that libstdc++ may
// skip atomic operations. "No" is always right.
[[gnu::visibility("hidden")]] char __wrap___libc_single_threaded = 0;

// glibc 2.18: the C library's own registry, where there is one.
[[gnu::visibility("hidden")]] int __wrap___cxa_thread_atexit_impl(ThreadExitDestructor destructor, void* object,
                                                                  void* dso_handle) {
    using Impl = int (*)(ThreadExitDestructor, void*, void*);
    static const auto impl = reinterpret_cast<Impl>(dlsym(RTLD_DEFAULT, "__cxa_thread_atexit_impl"));
    if (impl != nullptr) return impl(destructor, object, dso_handle);
    pthread_once(&pending_key_once, make_pending_key);
    auto* pending = static_cast<PendingDestructor*>(std::malloc(sizeof(PendingDestructor)));
    if (pending == nullptr) return -1;
    *pending = {destructor, object, static_cast<PendingDestructor*>(pthread_getspecific(pending_key))};
    pthread_setspecific(pending_key, pending);
    return 0;
}

// glibc 2.25: getrandom (Linux 3.17), else /dev/urandom.
[[gnu::visibility("hidden")]] int __wrap_getentropy(void* buffer, std::size_t length) {
    if (length > 256) {
        errno = EIO;
        return -1;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t left = length;
    while (left > 0) {
        long got = syscall(SYS_getrandom, out, left, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fill_from_urandom(out, left) ? 0 : (errno = EIO, -1);
        out += got;
        left -= static_cast<std::size_t>(got);
    }
    return 0;
}

// glibc 2.36; like glibc's, it ends the process when no randomness can be had.
[[gnu::visibility("hidden")]] std::uint32_t __wrap_arc4random() {
    std::uint32_t value;
    if (__wrap_getentropy(&value, sizeof value) != 0) std::abort();
    return value;
}

}  // extern "C"
