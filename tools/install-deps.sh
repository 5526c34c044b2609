#!/usr/bin/env bash
# Installs Debian packages: by default those the build, the tests and the
# benchmarks need (tools/lib.sh lists them); the platform scripts name their
# own. Idempotent: does nothing (and prints nothing) when everything is present.
#   tools/install-deps.sh [PACKAGE...]
set -euo pipefail
. "$(dirname "$0")/lib.sh"
install_packages "$@"
