#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh -DOMBRELO_WERROR=ON
cd "${OMBRELO_BUILD_DIR:-build}"
ctest --output-on-failure -j "$(nproc)" --timeout 300
