# Linux shared objects that load on glibc 2.17 and later (RHEL 7 and 8,
# Debian 9 and later, ...), built with the build machine's newer glibc and
# GCC. tests/check_glibc_versions.sh checks what they need.
#   - Every object binds the C library's functions to their first versions
#     (compat/glibc/glibc_base_versions.h, which the top CMakeLists.txt
#     force-includes into every C and C++ source).
#   - jweb_portable_linking(<target>): names libdl.so.2 and libpthread.so.0
#     as needed, where glibc before 2.34 keeps dlopen, pthread_create, ...;
#     supplies what static libffi asks of glibc 2.17 (glibc_compat.cpp).
#   - jweb_own_libstdcxx(<target>): links libstdc++ statically (libgcc_s stays
#     shared: one unwinder for the whole process), hides it, and supplies what
#     that libstdc++ asks of glibc 2.17 (compat/glibc/glibc_compat.cpp).
#   - jweb_portable_program(<target>): the same for a program, which also
#     starts through glibc's first __libc_start_main.
include_guard(GLOBAL)

set(JWEB_GLIBC_COMPAT_DIR ${CMAKE_CURRENT_LIST_DIR}/../compat/glibc)

function(jweb_portable_linking target)
  target_link_libraries(${target} PRIVATE -Wl,--push-state,--no-as-needed -l:libdl.so.2 -l:libpthread.so.0
    -Wl,--pop-state)
  target_sources(${target} PRIVATE ${JWEB_GLIBC_COMPAT_DIR}/glibc_compat.cpp)
  target_link_options(${target} PRIVATE -Wl,--wrap=memfd_create)
endfunction()

set(jweb_glibc_wrapped __libc_single_threaded __cxa_thread_atexit_impl getentropy arc4random)
function(jweb_own_libstdcxx target)
  jweb_portable_linking(${target})
  list(TRANSFORM jweb_glibc_wrapped PREPEND -Wl,--wrap= OUTPUT_VARIABLE wraps)
  target_link_options(${target} PRIVATE -static-libstdc++ -Wl,--exclude-libs,ALL ${wraps})
endfunction()

function(jweb_portable_program target)
  jweb_own_libstdcxx(${target})
  target_sources(${target} PRIVATE ${JWEB_GLIBC_COMPAT_DIR}/glibc_start_compat.cpp)
  target_link_options(${target} PRIVATE -Wl,--wrap=__libc_start_main)
endfunction()
