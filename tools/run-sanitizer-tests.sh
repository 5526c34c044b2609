#!/usr/bin/env bash
# Builds the library, the stand-in engine and the unit tests with
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer (the
# `sanitize` preset, into build-sanitize/) and runs the unit suite under them.
# Any sanitizer report fails the test it happens in; exits non-zero then.
# ctest options may follow, e.g. tools/run-sanitizer-tests.sh -R Guard
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$root"
install_packages
# Everything the preset builds: the unit suite's tests need the library, the
# stand-in engine and the tools they check, besides the unit tests themselves.
configure_and_build sanitize
# The test preset sets the sanitizers' options: every report ends the
# process with an error; leaks are checked at each exit.
ctest --preset sanitize -j"$(nproc)" "$@"
