# Cross build for 64-bit Arm Linux with Debian's cross compiler, which brings
# the C and C++ runtimes to compile and link against. The rest of the target
# (libffi and GoogleTest to link; the C and C++ runtimes, zlib and a JDK to
# run the tests) is Debian's arm64 packages unpacked into one folder,
# JWEB_TARGET_ROOT, never installed; tools/run-arm64-tests.sh makes it. Host
# programs (javac, jar, cmake) and the JNI headers come from the build machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(JWEB_TARGET_ROOT ${CMAKE_BINARY_DIR}/target-root CACHE PATH
  "Debian's arm64 packages, unpacked (tools/run-arm64-tests.sh)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES JWEB_TARGET_ROOT)  # try_compile has a binary folder of its own
list(APPEND CMAKE_FIND_ROOT_PATH ${JWEB_TARGET_ROOT})
set(ENV{PKG_CONFIG_LIBDIR} ${JWEB_TARGET_ROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${JWEB_TARGET_ROOT}/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${JWEB_TARGET_ROOT})
# Debian puts ffi.h in the multiarch folder, which only a native compiler
# searches by itself.
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${JWEB_TARGET_ROOT}/usr/include/aarch64-linux-gnu)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${JWEB_TARGET_ROOT}/usr/include/aarch64-linux-gnu)

# ctest runs the arm64 programs through qemu's user-mode emulator, with the
# loader and libraries of the target root (-L). Not the cross compiler's own
# folder, /usr/aarch64-linux-gnu: mixed with the JDK's libraries it hangs the JVM.
find_program(JWEB_QEMU_AARCH64 qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${JWEB_QEMU_AARCH64} -L ${JWEB_TARGET_ROOT})
