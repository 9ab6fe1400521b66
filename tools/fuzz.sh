#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fuzzes the glyph decoder and the glyph drawing: builds both libFuzzer
# targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, then
# runs each for a fixed number of inputs from the 58 embedded records and
# their documents. Any crash, leak, sanitizer report, timeout or memory blow-up
# ends the run with a failure and leaves the input under $BUILD/fuzz-findings.
#   tools/fuzz.sh [DECODE_RUNS [RASTER_RUNS]]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${PELLOVAR_FUZZ_BUILD:-build-fuzz}
DECODE_RUNS=${1:-1000000}
RASTER_RUNS=${2:-500000}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELLOVAR_FUZZ=ON -DPELLOVAR_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target glyph_seeds glyph_decode_fuzz glyph_raster_fuzz

run() {
  local target=$1 runs=$2
  local corpus="$BUILD/fuzz-corpus/$target" findings="$BUILD/fuzz-findings/$target"
  # A fresh corpus and a fixed seed: every run explores the same inputs.
  rm -rf "$corpus" "$findings"
  mkdir -p "$corpus" "$findings"
  echo "== $target: $runs inputs"
  local started=$SECONDS
  SDL_VIDEODRIVER=dummy "$BUILD/$target" -runs="$runs" -seed=1 -timeout=10 -rss_limit_mb=1024 \
    -max_len=4096 -dict=tests/fuzz/glyph.dict -artifact_prefix="$findings/" -print_final_stats=1 \
    "$corpus" "$BUILD/fuzz-seeds" 2>"$BUILD/$target.log" || {
    tail -n 60 "$BUILD/$target.log" >&2
    echo "$target failed; inputs in $findings" >&2
    return 1
  }
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$BUILD/$target.log" || true
  echo "   $((SECONDS - started)) s"
}

run glyph_decode_fuzz "$DECODE_RUNS"
run glyph_raster_fuzz "$RASTER_RUNS"
