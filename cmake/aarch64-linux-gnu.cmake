# Cross build for 64-bit Arm Linux with Debian's cross compiler. Libraries
# (libffi, GoogleTest, the C and C++ runtimes) are Debian's arm64 multiarch
# packages in /usr/lib/aarch64-linux-gnu, which the cross compiler searches;
# host programs (javac, jar, cmake) and the JNI headers come from the build
# machine. tools/run-arm64-tests.sh installs all of it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# pkg-config reads the arm64 packages' files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# ctest runs the arm64 programs through qemu's user-mode emulator. Without
# -L: the loader and C library are the multiarch ones, found at their usual
# paths; the cross compiler's own sysroot mixed with them hangs the JVM.
find_program(JWEB_QEMU_AARCH64 qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${JWEB_QEMU_AARCH64})
