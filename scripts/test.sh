#!/usr/bin/env bash
# Installs what is missing, builds korvanta and runs the whole test suite.
# Usage: scripts/test.sh [preset]   (default: "default"; "sanitize" builds with ASan + UBSan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
