#!/usr/bin/env bash
# Builds the Debian package korvanta_<version>_<arch>.deb and puts it in the top folder of the
# clone: a Release build installed under /usr (preset "package": no tests, no benchmarks, so the
# package holds none of their files), packed by CPack, with Depends computed by dpkg-shlibdeps.
# Installs what is missing first, as root or through sudo. scripts/check-package.sh checks it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh dpkg-dev file

# Debian's hardening flags, without debug information (the package's program is stripped).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cmake --preset package \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build --preset package
rm -f build/package/korvanta_*.deb
cpack --preset package
rm -f korvanta_*.deb
cp build/package/korvanta_*.deb .
ls korvanta_*.deb
