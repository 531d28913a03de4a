#!/usr/bin/env bash
# Installs what building, running and testing korvanta need on Debian 12, as root or through sudo.
# Only missing packages are installed; with everything present it changes nothing. Packages named
# as arguments are wanted as well (scripts/package.sh adds the packaging tools, scripts/fuzz.sh
# clang and libFuzzer).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-translations-l10n libxkbcommon-dev
  libusb-1.0-0-dev libsqlite3-dev libpq-dev libgtest-dev libgmock-dev libbenchmark-dev
  postgresql # the tests' own throw-away servers for the lab database (initdb, pg_ctl)
  umockdev libumockdev-dev
  fonts-liberation poppler-utils qpdf xvfb xauth locales
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} > 0)); then
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  echo "korvanta: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi
