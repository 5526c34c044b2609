#!/usr/bin/env bash
# Installs Debian packages: by default those the build, the tests and the
# benchmarks need (tools/lib.sh lists them); the platform scripts name their own.
#   tools/install-deps.sh [--architecture ARCH]... [PACKAGE...]
# --architecture adds a foreign architecture to dpkg first (multiarch
# packages, such as wine32:i386 or libffi-dev:arm64). Idempotent: does
# nothing (and prints nothing) when everything is present.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
install_packages "$@"
