#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, fuzzes the picture
# loader for a short fixed time, then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
scripts/fuzz.sh "${OMBRELO_FUZZ_SECONDS:-20}" 2>&1 | tail -n 15
cd "${OMBRELO_BUILD_DIR:-build}"
ctest --output-on-failure -j "$(nproc)" --timeout 300
