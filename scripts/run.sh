#!/usr/bin/env bash
# Installs what is missing (the udev rule for real instruments too), builds korvanta and starts it
# on its built-in virtual instrument. Further arguments go to the program instead (for example
# --simulate=path/to/scenario.ini); build/default/korvanta alone looks for a real instrument.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/install-udev-rule.sh
cmake --preset default >/dev/null
cmake --build --preset default --target korvanta

args=("$@")
if ((${#args[@]} == 0)); then args=(--simulate); fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "korvanta: no display found; running on a virtual X display (xvfb-run). Stop it with Ctrl+C." >&2
  exec xvfb-run -a build/default/korvanta "${args[@]}"
fi
exec build/default/korvanta "${args[@]}"
