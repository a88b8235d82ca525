#!/usr/bin/env bash
# Builds the Debian package ombrelo_VERSION-1_amd64.deb into the top folder of
# the sources and checks it (tests/packaging/check_package.sh: its files, its
# Depends, lintian). The programs are built for /usr in their own tree,
# build-deb/ (or $OMBRELO_PACKAGE_BUILD_DIR), without tests and benchmarks;
# CPack packs them and dpkg-shlibdeps computes Depends from their libraries.
#
#   scripts/package.sh [-DCMAKE_OPTION=VALUE...]
#   apt-get install ./ombrelo_*.deb
#
# Further arguments go to CMake (e.g. -DCMAKE_CXX_COMPILER_LAUNCHER=ccache,
# -DOMBRELO_PACKAGE_MAINTAINER="Name <address>").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build="${OMBRELO_PACKAGE_BUILD_DIR:-build-deb}"
# Debian's hardening flags (stack protector, checked string functions,
# relocations read-only and bound at start): the programs read any video they
# are given, and the thumbnailer does so for every video a file manager shows.
# Source paths are mapped away. -Wdate-time is left out: "--version" prints the
# build date on purpose.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cppflags="$(flags CPPFLAGS | sed 's/-Wdate-time//')"
OMBRELO_BUILD_DIR="$build" scripts/build.sh -DCMAKE_INSTALL_PREFIX=/usr -DOMBRELO_TESTS=OFF \
  -DOMBRELO_BENCH=OFF -DOMBRELO_SOURCE_DATA_FALLBACK=OFF \
  -DCMAKE_C_FLAGS="$(flags CFLAGS) $cppflags" -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" "$@"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$PWD/package" >/dev/null)
debs=("$build"/package/ombrelo_*_amd64.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "package: CPack made no package in $build/package" >&2
  exit 1
fi
rm -f ombrelo_*_amd64.deb
cp "${debs[0]}" .
deb="$(basename "${debs[0]}")"
tests/packaging/check_package.sh --release "$deb" "$PWD" "$PWD/$build"
echo "package: $deb (install it with: apt-get install ./$deb)"
