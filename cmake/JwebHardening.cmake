# The hardening flags Debian and Fedora build their own packages with, for
# every object of the build: what ships (the library, jweb-check, the
# stand-in) and the tests that load it alike. JWEB_HARDENING=OFF leaves them
# out, to measure what they cost (docs/releasing.md, "Hardening").
#   - the stack protector (-fstack-protector-strong): on mingw it links
#     GCC's libssp, statically as everything else there;
#   - fortified C library calls (_FORTIFY_SOURCE=2) where optimising, as
#     glibc's headers only fortify then (and warn without optimisation);
#     Linux only: the __*_chk functions are glibc's, and all that the
#     project's code calls are GLIBC_2.3.4 to 2.11, below the 2.17 the
#     binaries keep to (tests/check_glibc_versions.sh);
#   - full RELRO (-z relro -z now): the relocated data and the GOT are made
#     read-only once loaded, before any of the library's code runs;
#   - control-flow protection where the processor has it and the compiler
#     takes it: -fcf-protection on x86-64 Linux (end-branch marks and the
#     shadow stack), -mbranch-protection=standard on arm64 (return addresses
#     signed, branch targets marked).
include_guard(GLOBAL)
include(CheckCXXCompilerFlag)

option(JWEB_HARDENING "Build with stack protector, fortified calls, full RELRO and control-flow protection" ON)
if(NOT JWEB_HARDENING)
  return()
endif()

set(jweb_hardening_flags -fstack-protector-strong)
if(WIN32)
  add_link_options(-fstack-protector-strong)  # the driver then links libssp
else()
  add_compile_definitions($<$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<CONFIG:Release,RelWithDebInfo,MinSizeRel>>:_FORTIFY_SOURCE=2>)
  add_link_options(-Wl,-z,relro,-z,now)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
    check_cxx_compiler_flag(-fcf-protection jweb_has_cf_protection)
    if(jweb_has_cf_protection)
      list(APPEND jweb_hardening_flags -fcf-protection)
    endif()
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    check_cxx_compiler_flag(-mbranch-protection=standard jweb_has_branch_protection)
    if(jweb_has_branch_protection)
      list(APPEND jweb_hardening_flags -mbranch-protection=standard)
    endif()
  endif()
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${jweb_hardening_flags}>")
