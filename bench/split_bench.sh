#!/usr/bin/env bash
# Times one mp3 book split into a file per chapter, in interleaved rounds:
# hushmark-chapters -x 300 -o 'DIR/%02d %t.mp3' (the book decoded once and
# scanned, then cut by packet copies, each file tagged) against the same run
# writing its chapters to a .txt file, which only decodes and scans.
# Prints the medians, their ratio, the number of files, and the split's peak
# memory.
#   bench/split_bench.sh     MINUTES=60 KBIT=64 RUNS=5 BUILD=build/bench
# Needs ffmpeg with an mp3 encoder, and GNU time (/usr/bin/time).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/bench}
MINUTES=${MINUTES:-60}
KBIT=${KBIT:-64}
RUNS=${RUNS:-5}

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
  -DHUSHMARK_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" --target hushmark-chapters make_wave >/dev/null
CHAPTERS=$BUILD/hushmark-chapters

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
"$BUILD/bench/make_wave" talk $((MINUTES * 60)) "$TMP/book.wav"
ffmpeg -v error -i "$TMP/book.wav" -c:a libmp3lame -b:a "${KBIT}k" \
  -metadata title=Bench -metadata artist=Someone "$TMP/book.mp3"
rm "$TMP/book.wav"

chapters_txt() { "$CHAPTERS" -x 300 -o "$TMP/book.txt" "$TMP/book.mp3"; }
chapters_split() {
  "$CHAPTERS" -y -x 300 -o "$TMP/split/%02d %t.mp3" "$TMP/book.mp3"
}
WAYS=(chapters_txt chapters_split)

elapsed() {
  local TIMEFORMAT='%3R'
  { time "$@" >/dev/null 2>&1; } 2>&1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for ((r = 1; r <= RUNS; r++)); do
  for way in "${WAYS[@]}"; do elapsed "$way" >>"$TMP/$way.times"; done
done
/usr/bin/time -v "$CHAPTERS" -y -x 300 -o "$TMP/split/%02d %t.mp3" \
  "$TMP/book.mp3" >/dev/null 2>"$TMP/time.txt"

t() { median <"$TMP/$1.times"; }
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "medians of $RUNS interleaved rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
for way in "${WAYS[@]}"; do printf '%-15s %8.3f s\n' "$way" "$(t "$way")"; done
awk -v a="$(t chapters_split)" -v b="$(t chapters_txt)" -v n="$(ls "$TMP/split" | wc -l)" \
  'BEGIN { printf "%d min mp3 at %s kbit/s into %d files: %.2fx the same run writing a .txt\n", '"$MINUTES"', '"$KBIT"', n, a / b }'
echo "the split's peak memory: $(awk -F': ' '/Maximum resident/ { print $2 }' "$TMP/time.txt") KiB"
