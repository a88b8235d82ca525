#!/usr/bin/env bash
# Installs, builds, makes a sample video and shows what indexing it will take.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
out="${OMBRELO_OUT:-$PWD/out}"
mkdir -p "$out"
echo "main job: not yet available beyond the build"
