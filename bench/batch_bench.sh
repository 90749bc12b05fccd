#!/usr/bin/env bash
# Times a batch of mp3 recordings through hushmark-chapters (which decodes
# each with ffmpeg), one after another against one job per core with xargs -P and with GNU parallel
# (where installed), in interleaved rounds, and checks that every way writes
# the same chapter files.
#   bench/batch_bench.sh     FILES=8 MINUTES=5 RUNS=5 BUILD=build/bench
# Needs ffmpeg with an mp3 encoder (Debian's ffmpeg has one).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/bench}
FILES=${FILES:-8}
MINUTES=${MINUTES:-5}
RUNS=${RUNS:-5}
JOBS=$(nproc)

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
  -DHUSHMARK_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" --target hushmark-chapters make_wave >/dev/null
export CHAPTERS=$BUILD/hushmark-chapters

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
"$BUILD/bench/make_wave" talk $((MINUTES * 60)) "$TMP/talk.wav"
for ((n = 1; n <= FILES; n++)); do
  ffmpeg -v error -i "$TMP/talk.wav" -c:a libmp3lame -b:a 128k "$TMP/book$n.mp3"
done
rm "$TMP/talk.wav"

# One recording, decoded by the ffmpeg that hushmark-chapters starts, its
# chapters written beside it. A lossy format leaves no digital silence, so
# near-silence counts.
chapters_of() {
  "$CHAPTERS" -i "$1" -o "${1%.mp3}.ffmetadata" -s 64 >/dev/null
}
export -f chapters_of

one_by_one() { for f in "$TMP"/*.mp3; do chapters_of "$f"; done; }
with_xargs() { ls "$TMP"/*.mp3 | xargs -P "$JOBS" -I{} bash -c 'chapters_of "$1"' _ {}; }
with_parallel() { parallel -j "$JOBS" chapters_of ::: "$TMP"/*.mp3; }
WAYS=(one_by_one with_xargs)
command -v parallel >/dev/null && WAYS+=(with_parallel)

elapsed() {
  local TIMEFORMAT='%3R'
  { time "$@" >/dev/null 2>&1; } 2>&1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for ((r = 1; r <= RUNS; r++)); do
  for way in "${WAYS[@]}"; do
    rm -f "$TMP"/*.ffmetadata
    elapsed "$way" >>"$TMP/$way.times"
    cat "$TMP"/*.ffmetadata | md5sum >>"$TMP/$way.sums"
  done
done

same=yes
for way in "${WAYS[@]}"; do
  [[ $(sort -u "$TMP/$way.sums") == $(sort -u "$TMP/one_by_one.sums") ]] || same=no
done
echo "machine: $JOBS cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "$FILES mp3 files of $MINUTES minutes; medians of $RUNS interleaved rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
base=$(median <"$TMP/one_by_one.times")
for way in "${WAYS[@]}"; do
  t=$(median <"$TMP/$way.times")
  awk -v w="$way" -v t="$t" -v b="$base" 'BEGIN { printf "%-14s %7.2f s  %.2fx\n", w, t, b / t }'
done
echo "the same chapter files every way: $same"
