#!/usr/bin/env bash
# Fuzzes the picture loader: builds picture_loader_fuzzer with clang
# (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) into build-fuzz/,
# writes a seed corpus of small BMP and JPEG files, and runs the fuzzer for a
# fixed time (default 30 seconds; pass another number of seconds as $1).
# Exits non-zero when the fuzzer finds a crash, a leak or a time-out; the
# failing input is kept in build-fuzz/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${OMBRELO_FUZZ_BUILD_DIR:-build-fuzz}"
seconds="${1:-30}"

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOMBRELO_FUZZ=ON -DOMBRELO_TESTS=OFF -DOMBRELO_BENCH=OFF >/dev/null
cmake --build "$build" --target picture_loader_fuzzer picture_loader_seeds

work="$build/fuzz"
rm -rf "$work/seeds"
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"
"$build/imaging/fuzz/picture_loader_seeds" "$work/seeds"

# New interesting inputs go to corpus/ (kept between runs); seeds/ is read.
"$build/imaging/fuzz/picture_loader_fuzzer" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
  "$work/corpus" "$work/seeds"
