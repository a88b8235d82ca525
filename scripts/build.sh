#!/usr/bin/env bash
# Configures and builds Ombrelo into build/ (or $OMBRELO_BUILD_DIR).
# Both README commands configure the same way (warnings are errors), so the
# main job and the test command share one build: the main job builds only the
# targets it runs (OMBRELO_TARGETS), the test command then adds the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${OMBRELO_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRELO_WERROR=ON "$@" >/dev/null
targets=()
for t in ${OMBRELO_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
