#!/usr/bin/env bash
# Installs what is missing, builds korvanta and runs the whole test suite.
# Usage: scripts/test.sh [preset]
#   default   the whole suite with the soaks and the fuzz corpora (the default)
#   sanitize  the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan      the suites whose code runs threads, under ThreadSanitizer
# (The other presets are not test runs: `fuzz` is scripts/fuzz.sh's, `package` scripts/package.sh's.)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
case "$preset" in
  default | sanitize | tsan) ;;
  *)
    echo "usage: scripts/test.sh [default|sanitize|tsan]" >&2
    exit 2
    ;;
esac

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
