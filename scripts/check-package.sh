#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh made, as a user would meet it:
#   - its documents agree on the version, and it holds what an installed desktop program needs and
#     nothing of the tests or benchmarks;
#   - desktop-file-validate, appstreamcli validate and lintian find nothing to complain about;
#   - unpacked into a temporary root (dpkg -x), the program answers --version and --report with no
#     display at all, and started through its desktop entry's Exec line from another folder on a virtual
#     display it finds its flags and manual and titles its window as its own;
#   - as root, apt installs it, `korvanta --version` runs from the PATH, and apt purges it again
#     leaving none of its files behind (skipped when korvanta was installed before).
# Installs what is missing first, as root or through sudo.
# Usage: scripts/check-package.sh [korvanta_<version>_<arch>.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

bash scripts/install-deps.sh lintian desktop-file-utils appstream xvfb xauth x11-utils

deb="${1:-}"
if [ -z "$deb" ]; then
  deb=$(ls korvanta_*.deb 2>/dev/null | sort -V | tail -n 1 || true)
fi
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "check-package: no korvanta_*.deb here; make one with scripts/package.sh" >&2
  exit 1
fi
deb=$(realpath "$deb")
id=com.example.Korvanta
failures=0
fail() {
  echo "check-package: FAIL: $*" >&2
  failures=$((failures + 1))
}
section() { printf '\n== %s\n' "$*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg -x "$deb" "$root"

section "package $(basename "$deb")"
dpkg-deb -f "$deb" Package Version Architecture Section Depends Recommends
dpkg -c "$deb"

version=$(dpkg-deb -f "$deb" Version)
project=$(sed -n 's/^project(korvanta VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$version" = "$project" ] || fail "package version $version is not the project's $project"
[ "$(dpkg-deb -f "$deb" Section)" = science ] || fail "section is not science"
# The lab database's client library, found by shlibdeps from the program's own link.
dpkg-deb -f "$deb" Depends | grep -Eq '(^|, )libpq5( |,|$)' || fail "the package does not depend on libpq5"
changelog=$(zcat "$root/usr/share/doc/korvanta/changelog.gz" | sed -n '1s/^korvanta (\([^)]*\)).*/\1/p')
[ "$changelog" = "$version" ] || fail "the changelog's newest entry is $changelog, not $version"
release=$(grep -o -m 1 '<release version="[^"]*"' "$root/usr/share/metainfo/$id.metainfo.xml" | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the metadata's newest release is $release, not $version"
zcat "$root/usr/share/man/man1/korvanta.1.gz" | grep -q "^\.TH KORVANTA 1 .*\"korvanta $version\"" ||
  fail "the man page does not name version $version"

for f in usr/bin/korvanta \
  usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/icons/hicolor/48x48/apps/$id.png \
  usr/share/icons/hicolor/128x128/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png \
  usr/share/man/man1/korvanta.1.gz usr/lib/udev/rules.d/60-korvanta-318qx.rules \
  usr/share/doc/korvanta/copyright usr/share/doc/korvanta/changelog.gz usr/share/doc/korvanta/lab-database.md.gz \
  usr/share/korvanta/CTRUK.ICO usr/share/korvanta/CTRGERM.ICO usr/share/korvanta/CTRFRAN.ICO \
  usr/share/korvanta/hilfe_e.html usr/share/korvanta/hilfe.html usr/share/korvanta/hilfe_f.html; do
  [ -f "$root/$f" ] || fail "/$f is missing"
done
for size in 48 128 256; do
  file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "PNG image data, $size x $size," ||
    fail "the ${size} px icon is not ${size} x ${size}"
done
# korvanta --report runs on the toolkit's offscreen platform, which libqt6gui6 ships.
dpkg-deb -f "$deb" Depends | grep -q 'libqt6gui6' ||
  fail "the package does not depend on libqt6gui6, whose offscreen platform --report needs"
if dpkg -c "$deb" | grep -E -i 'test|bench|flagicon|appicon|/etc/'; then
  fail "the package holds test, benchmark or build-tool files, or writes /etc"
fi

section "desktop-file-validate"
out=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) || fail "desktop-file-validate"
echo "${out:-(no findings)}"
[ -z "$out" ] || fail "desktop-file-validate has findings"

section "appstreamcli validate --no-net"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"

section "lintian"
# Informational tags are shown too; packaging/lintian-notes.md says why those that remain stay.
lintian --fail-on error,warning --display-info "$deb" && echo "(no errors, no warnings)" || fail "lintian"

section "--version with no display"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/korvanta" --version 2>&1) ||
  fail "korvanta --version ended with status $?"
echo "$out"
[ "$out" = "korvanta $version
Free software under the GNU General Public License, version 3 or later." ] || fail "--version printed '$out'"

section "--report with no display"
# With no record at all: the toolkit starts on the offscreen platform and the program says, in its
# one line, that there is no record.
status=0
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR XDG_DATA_HOME="$work/nodata" \
  XDG_CONFIG_HOME="$work/noconfig" "$root/usr/bin/korvanta" --report=LOT-1 --output="$work/lot.pdf" 2>&1) ||
  status=$?
echo "$out"
[ "$status" -eq 1 ] && [ "$(wc -l <<<"$out")" -eq 1 ] && grep -q '^korvanta: There is no lab record' <<<"$out" ||
  fail "--report without a display ended with status $status and said '$out'"

section "start through the desktop entry's Exec line, from another folder, on a virtual display"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$id.desktop")
mkdir "$work/elsewhere"
(
  cd "$work/elsewhere"
  export PATH="$root/usr/bin:$PATH"
  # The journal, the lab record and the settings of this run stay in the temporary folder.
  export XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  # shellcheck disable=SC2016
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    $1 --simulate 2>"$2/stderr" &
    program=$!
    for _ in $(seq 600); do
      if xwininfo -root -tree | grep -q "\"318QX\""; then break; fi
      if ! kill -0 $program 2>/dev/null; then break; fi
      sleep 0.1
    done
    sleep 3  # the start-up geometry sequence runs, the language is applied
    xwininfo -root -tree >"$2/windows"
    kill $program 2>/dev/null || true
    wait $program || true
  ' start "$exec_line" "$work"
)
cat "$work/stderr"
grep '"318QX"' "$work/windows" || true
grep -q '"318QX": ("korvanta" "korvanta")' "$work/windows" ||
  fail "no window titled exactly 318QX of class korvanta"
if grep 'KORVANTA III' "$work/windows"; then fail "a window title carries the program's name"; fi
if grep -E 'CTRUK|CTRGERM|CTRFRAN|hilfe' "$work/stderr"; then fail "the program misses its flags or manual"; fi
[ ! -e "$work/elsewhere/318qx.ini" ] || fail "the program wrote a settings file at start"

section "apt install, korvanta from the PATH, apt purge"
if [ "$(id -u)" -ne 0 ]; then
  echo "(skipped: not root)"
elif dpkg-query -W -f='${Status}' korvanta 2>/dev/null | grep -q 'install ok installed'; then
  echo "(skipped: korvanta is installed on this machine already; it is left as it is)"
else
  export DEBIAN_FRONTEND=noninteractive
  # Without the recommended packages, so that the round trip leaves the machine as it found it.
  dpkg-query -W -f='${Package}\n' | sort >"$work/before"
  apt-get install -y -q -o DPkg::Lock::Timeout=600 --no-install-recommends "$deb" </dev/null
  [ "$(command -v korvanta)" = /usr/bin/korvanta ] || fail "korvanta is not /usr/bin/korvanta on the PATH"
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM korvanta --version) || fail "korvanta --version"
  echo "$out"
  [ "$(head -n 1 <<<"$out")" = "korvanta $version" ] || fail "installed --version printed '$out'"
  /var/lib/dpkg/info/korvanta.postinst configure || fail "postinst run a second time"
  apt-get purge -y -q -o DPkg::Lock::Timeout=600 korvanta </dev/null
  if dpkg-query -W -f='${Status}' korvanta 2>/dev/null | grep -q 'install ok installed'; then fail "still installed"; fi
  left=$(dpkg -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\.||' | while read -r f; do
    if [ -e "$f" ]; then echo "$f"; fi
  done)
  [ -z "$left" ] || fail "left behind after purge: $left"
  dpkg-query -W -f='${Package}\n' | sort >"$work/after"
  if ! diff "$work/before" "$work/after"; then fail "the machine's packages differ after the round trip"; fi
  echo "installed, ran and purged; nothing left behind"
fi

section "result"
echo "$((SECONDS - started)) s"
if ((failures > 0)); then
  echo "check-package: $failures failure(s)" >&2
  exit 1
fi
echo "check-package: all checks passed"
