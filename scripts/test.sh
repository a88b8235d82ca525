#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, fuzzes the picture
# loader for a short fixed time, then runs every test.
#
#   scripts/test.sh             the above, in build/ (or $OMBRELO_BUILD_DIR)
#   scripts/test.sh --sanitize  AddressSanitizer, LeakSanitizer and
#                               UndefinedBehaviorSanitizer build in
#                               build-sanitize/, then every test
#   scripts/test.sh --thread    ThreadSanitizer build in build-tsan/, then the
#                               platform, engine and workflow tests (the threaded parts)
#
# The sanitizer builds run their tests with the suppression files of
# scripts/sanitizers/ (leaks and races inside system libraries only). Further
# arguments go to CMake (e.g. -DCMAKE_CXX_COMPILER_LAUNCHER=ccache).
set -euo pipefail
cd "$(dirname "$0")/.."
mode=""
case "${1:-}" in
  --sanitize | --thread) mode="$1"; shift ;;
  -D*) ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--sanitize | --thread] [-DCMAKE_OPTION=VALUE...]" >&2; exit 2 ;;
esac
jobs="$(nproc)"
scripts/setup.sh
case "$mode" in
  --sanitize)
    build=build-sanitize
    OMBRELO_BUILD_DIR=$build scripts/build.sh -DOMBRELO_SANITIZE=ON -DOMBRELO_BENCH=OFF "$@"
    cd "$build"
    ctest --output-on-failure -j "$jobs" --timeout 900
    ;;
  --thread)
    build=build-tsan
    OMBRELO_BUILD_DIR=$build OMBRELO_TARGETS="platform_tests engine_tests app_tests" scripts/build.sh \
      -DOMBRELO_SANITIZE=thread -DOMBRELO_BENCH=OFF "$@"
    cd "$build"
    # Only these test programs are built; the others' placeholders, and the
    # check of the desktop program that is not built here, are left out.
    ctest --output-on-failure -j "$jobs" --timeout 900 -E '_NOT_BUILT$|^desktop_version_without_display$'
    ;;
  *)
    scripts/build.sh "$@"
    scripts/fuzz.sh "${OMBRELO_FUZZ_SECONDS:-20}" 2>&1 | tail -n 15
    cd "${OMBRELO_BUILD_DIR:-build}"
    ctest --output-on-failure -j "$jobs" --timeout 300
    ;;
esac
