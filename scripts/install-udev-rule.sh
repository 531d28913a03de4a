#!/usr/bin/env bash
# Installs the udev rule that lets the user at the seat open the instrument (as root or through
# sudo), only when it is missing or different, and has a running udev apply it to instruments
# that are plugged in already. Without a udev daemon (containers, CI) the reload is skipped.
# A rule that cannot be installed is reported and does not stop the caller.
set -euo pipefail
cd "$(dirname "$0")/.."

rule=packaging/udev/60-korvanta-318qx.rules
target=/etc/udev/rules.d/$(basename "$rule")

if cmp -s "$rule" "$target"; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "korvanta: not installing $target (not root and no sudo); real instruments may be refused" >&2
    exit 0
  fi
  sudo=(sudo)
fi

echo "korvanta: installing the udev rule $target"
if ! "${sudo[@]}" install -D -m 0644 "$rule" "$target"; then
  echo "korvanta: could not install $target; real instruments may be refused" >&2
  exit 0
fi

if [ -S /run/udev/control ] && command -v udevadm >/dev/null 2>&1; then
  "${sudo[@]}" udevadm control --reload-rules || true
  for product in f0d1 074c; do
    "${sudo[@]}" udevadm trigger --action=change --subsystem-match=usb --attr-match=idProduct=$product || true
  done
else
  echo "korvanta: no udev daemon running; the rule takes effect when udev starts"
fi
