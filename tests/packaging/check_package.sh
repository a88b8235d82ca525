#!/usr/bin/env bash
# Checks a Debian package of Ombrelo: its files, its Depends and lintian.
#
#   check_package.sh --release DEB SOURCE_DIR BUILD_DIR
#       a package scripts/package.sh made (built for /usr): its programs hold
#       no path of the build machine either.
#   check_package.sh --pack SOURCE_DIR BUILD_DIR
#       packs the build tree with CPack into a folder of its own first (what
#       ctest runs); that tree's programs are built for running in place, so
#       only the package's other files are searched for build paths.
#
# Exits 77 (skipped) when the Debian tools it needs are missing.
set -euo pipefail

mode="$1"
shift
if [ "$mode" = --release ]; then
  deb="$(realpath "$1")"
  shift
fi
source_dir="$(realpath "$1")"
build_dir="$(realpath "$2")"

for tool in dpkg-deb dpkg-shlibdeps lintian cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is missing (scripts/setup.sh installs it)"
    exit 77
  fi
done

work="$(mktemp -d "${TMPDIR:-/tmp}/ombrelo-package-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if [ "$mode" = --pack ]; then
  (cd "$build_dir" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    exit 1
  }
  deb="$(ls "$work"/cpack/ombrelo_*_amd64.deb)"
fi
echo "checking $deb"

# The control fields: version of the project, Depends computed from the
# programs' libraries (FFmpeg, Qt, the image and page libraries), no -dev.
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")"
[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "version is not $version-1"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
tr ',|' '\n' <<<"$depends" | awk 'NF {print $1}' >"$work/depends"
for library in libc6 libstdc++6 libavcodec libavformat libavutil libswscale libqt6core6 \
  libqt6gui6 libqt6widgets6 libqt6svg6 libjpeg62-turbo libpng16-16 libxslt1.1 libxml2 \
  liblitehtml libcurl4 libmimalloc; do
  # The name, or the name with its library's version (libavcodec59).
  awk -v l="$library" 'index($0, l) == 1 && substr($0, length(l) + 1) ~ /^[0-9.]*$/ {f = 1}
                       END {exit !f}' "$work/depends" || fail "Depends lacks $library"
done
if grep -E -- '-dev$' "$work/depends"; then fail "Depends names -dev packages (above)"; fi

# The files: all below /usr, none in /usr/local, each installed thing there.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's,^\./,/,' >"$work/files"
if grep -Ev '^/(usr/.*)?$' "$work/files"; then fail "files outside /usr (above)"; fi
if grep -E '^/usr/local' "$work/files"; then fail "files in /usr/local (above)"; fi
for file in /usr/bin/ombrelo /usr/bin/ombrelo-index \
  /usr/share/man/man1/ombrelo.1.gz /usr/share/man/man1/ombrelo-index.1.gz \
  /usr/share/bash-completion/completions/ombrelo \
  /usr/share/bash-completion/completions/ombrelo-index \
  /usr/share/applications/ombrelo.desktop /usr/share/icons/hicolor/scalable/apps/ombrelo.svg \
  /usr/share/mime/packages/ombrelo.xml /usr/share/metainfo/com.tessaly.Ombrelo.metainfo.xml \
  /usr/share/thumbnailers/ombrelo.thumbnailer \
  /usr/share/doc/ombrelo/copyright /usr/share/doc/ombrelo/changelog.Debian.gz; do
  grep -qxF "$file" "$work/files" || fail "missing $file"
done
# Every file of the sources' Data folder, and nothing else there.
(cd "$source_dir/Data" && find . -type f | sed 's,^\.,/usr/share/ombrelo/Data,' | sort) \
  >"$work/data.expected"
grep '^/usr/share/ombrelo/Data/.*[^/]$' "$work/files" | sort >"$work/data.packed" || true
diff -u "$work/data.expected" "$work/data.packed" || fail "Data folder differs (above)"

dpkg-deb -x "$deb" "$work/root"
# The changelog's newest entry is this version (a new version needs one).
top="$(gzip -dc "$work/root/usr/share/doc/ombrelo/changelog.Debian.gz" | head -n 1)"
[[ "$top" == "ombrelo ($version-1) "* ]] || fail "changelog starts with '$top', not $version-1"

# No path of the machine that built it.
search=(-r)
if [ "$mode" = --pack ]; then
  search=(-r -I)  # text files only: this tree's programs know their sources
fi
for path in "$source_dir" "$build_dir"; do
  if grep "${search[@]}" -l -F "$path" "$work/root"; then fail "files name $path (above)"; fi
done
if [ "$mode" = --release ]; then
  if grep -r -l -F /usr/local "$work/root"; then fail "files name /usr/local (above)"; fi
fi

# lintian: no error and no warning (unstripped programs, files in /usr/local,
# ...; the few left are overridden, with reasons, in packaging/lintian-overrides).
if ! lintian --fail-on error,warning --tag-display-limit 0 "$deb"; then
  fail "lintian reports errors or warnings (above)"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
