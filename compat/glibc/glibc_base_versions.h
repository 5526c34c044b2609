// Force-included into every Linux object of the project (-include), so that
// what it calls in the C library binds to the functions' first versions,
// which every glibc from 2.17 on has, rather than to the newest ones that
// the build machine's headers and libraries name: glibc 2.34 gave the dl*
// and pthread_* functions new versions when it moved them from libdl and
// libpthread into libc, 2.32 pthread_sigmask, 2.29 exp, log and pow. The
// behaviour of these first versions is the same. On a glibc older than 2.34
// these functions are in libdl.so.2 and libpthread.so.0, which the library
// therefore names as needed (cmake/JwebPortableLinux.cmake).
// tests/check_glibc_versions.sh fails the build's tests on anything newer.
#pragma once

#if defined(__x86_64__)
#define JWEB_GLIBC_BASE "GLIBC_2.2.5"
#define JWEB_GLIBC_2_3_3 "GLIBC_2.3.3"
#define JWEB_GLIBC_2_12 "GLIBC_2.12"
#elif defined(__aarch64__)
#define JWEB_GLIBC_BASE "GLIBC_2.17"  // the first glibc for arm64
#define JWEB_GLIBC_2_3_3 "GLIBC_2.17"
#define JWEB_GLIBC_2_12 "GLIBC_2.17"
#endif

#ifdef JWEB_GLIBC_BASE
// A pin for a function a file does not call leaves no trace in its object.
#define JWEB_PIN_AT(name, version) __asm__(".symver " #name "," #name "@" version);
#define JWEB_PIN(name) JWEB_PIN_AT(name, JWEB_GLIBC_BASE)
JWEB_PIN(dlopen)
JWEB_PIN(dlsym)
JWEB_PIN(dlclose)
JWEB_PIN(dlerror)
JWEB_PIN(dladdr)
JWEB_PIN_AT(dladdr1, JWEB_GLIBC_2_3_3)
JWEB_PIN_AT(dlinfo, JWEB_GLIBC_2_3_3)
JWEB_PIN(pthread_sigmask)
JWEB_PIN(pthread_create)
JWEB_PIN(pthread_join)
JWEB_PIN(pthread_detach)
JWEB_PIN(pthread_key_create)
JWEB_PIN(pthread_key_delete)
JWEB_PIN(pthread_getspecific)
JWEB_PIN(pthread_setspecific)
JWEB_PIN(pthread_once)
JWEB_PIN_AT(pthread_getname_np, JWEB_GLIBC_2_12)
JWEB_PIN(pthread_getattr_np)
JWEB_PIN(pthread_attr_getstack)
JWEB_PIN(pthread_mutex_trylock)
JWEB_PIN(exp)
JWEB_PIN(log)
JWEB_PIN(pow)
#undef JWEB_PIN
#undef JWEB_PIN_AT
#endif
