#!/usr/bin/env bash
# Fuzzes the picture loader and the project file reader: builds
# picture_loader_fuzzer and project_file_fuzzer with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) into build-fuzz/, writes a
# seed corpus for each, and runs them one after the other for a fixed total
# time (default 30 seconds; pass another number of seconds as $1): two
# thirds for the picture loader, one third for the project files.
# Exits non-zero when a fuzzer finds a crash, a leak or a time-out; the
# failing input is kept in build-fuzz/fuzz/<fuzzer>/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${OMBRELO_FUZZ_BUILD_DIR:-build-fuzz}"
seconds="${1:-30}"
project_seconds=$((seconds / 3))
if ((project_seconds < 1)); then project_seconds=1; fi
picture_seconds=$((seconds - project_seconds))
if ((picture_seconds < 1)); then picture_seconds=1; fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOMBRELO_FUZZ=ON -DOMBRELO_TESTS=OFF -DOMBRELO_BENCH=OFF >/dev/null
cmake --build "$build" --target picture_loader_fuzzer picture_loader_seeds \
  project_file_fuzzer project_file_seeds

# run NAME SEEDER FUZZER SECONDS [FUZZER OPTIONS...]: new interesting inputs
# go to corpus/ (kept between runs); seeds/ is written afresh and read.
run() {
  local name="$1" seeder="$2" fuzzer="$3" time="$4"
  shift 4
  local work="$build/fuzz/$name"
  rm -rf "$work/seeds"
  mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"
  "$seeder" "$work/seeds"
  "$fuzzer" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" \
    "$work/corpus" "$work/seeds"
}

run picture_loader "$build/imaging/fuzz/picture_loader_seeds" \
  "$build/imaging/fuzz/picture_loader_fuzzer" "$picture_seconds"
# Project files are text: the format's tags help the mutations along.
run project_file "$build/project/fuzz/project_file_seeds" \
  "$build/project/fuzz/project_file_fuzzer" "$project_seconds" \
  -dict=project/fuzz/project_file.dict
