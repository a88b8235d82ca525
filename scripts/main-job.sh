#!/usr/bin/env bash
# Installs, builds, makes a sample video and indexes it with ombrelo-index.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
OMBRELO_TARGETS="ombrelo-index ombrelo-testvideo" scripts/build.sh
out="${OMBRELO_OUT:-$PWD/out}"
mkdir -p "$out"
build="${OMBRELO_BUILD_DIR:-build}"
sample="$out/sample-640x360-25fps-3min.mp4"
"$build/tools/testvideo/ombrelo-testvideo" --codec h264 --size 640x360 --fps 25 --seconds 180 \
  --gop 250 "$sample"
# A thumbnail 10 s in and then every 20 s; thumbnails, playlist, web page and
# index photo go below $out.
"$build/app/indexer/ombrelo-index" --out "$out" --start-after 10 --every 20 "$sample"
name="$(basename "$sample" .mp4)"
cat <<INFO

Sample video: $sample
Thumbnails:   $out/Thumbs/$name/
Playlist:     $out/Ipl/$name.ipl
Web page:     $out/Html/$name.html
Index photo:  $out/Index/$name.jpg
INFO
