#!/usr/bin/env bash
# Installs, builds, makes a sample video and shows what indexing it will take.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
out="${OMBRELO_OUT:-$PWD/out}"
mkdir -p "$out"
build="${OMBRELO_BUILD_DIR:-build}"
sample="$out/sample-640x360-25fps-3min.mp4"
"$build/tools/testvideo/ombrelo-testvideo" --codec h264 --size 640x360 --fps 25 --seconds 180 \
  --gop 250 "$sample"
"$build/tools/schedule/ombrelo-schedule" "$sample"
