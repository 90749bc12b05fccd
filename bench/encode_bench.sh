#!/usr/bin/env bash
# Times one book made of mp3 parts, in interleaved rounds: hushmark-chapters
# -F writing an m4b (the parts decoded once, scanned, and encoded to AAC as
# one stream, then the chapters, tags and cover added by a copy) against
# ffmpeg joining the same parts into AAC at the same bit rate:
#   ffmpeg -f concat -safe 0 -i list -vn -c:a aac -b:a KBITk out.m4a
# Prints the medians, their ratio, and hushmark-chapters' peak memory.
#   bench/encode_bench.sh     FILES=8 PART=5 KBIT=64 RUNS=5 BUILD=build/bench
# Needs ffmpeg with an mp3 encoder, and GNU time (/usr/bin/time).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/bench}
FILES=${FILES:-8}
PART=${PART:-5}
KBIT=${KBIT:-64}
RUNS=${RUNS:-5}

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
  -DHUSHMARK_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" --target hushmark-chapters make_wave >/dev/null
CHAPTERS=$BUILD/hushmark-chapters

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
"$BUILD/bench/make_wave" talk $((PART * 60)) "$TMP/part.wav"
PARTS=()
for ((n = 1; n <= FILES; n++)); do
  # Parts at the bit rate the book gets, so that neither side is capped.
  ffmpeg -v error -i "$TMP/part.wav" -c:a libmp3lame -b:a "${KBIT}k" \
    -metadata title="Part $n" -metadata album=Bench "$TMP/part$n.mp3"
  PARTS+=("$TMP/part$n.mp3")
  echo "file '$TMP/part$n.mp3'" >>"$TMP/list"
done

ffmpeg_concat() {
  ffmpeg -v error -y -f concat -safe 0 -i "$TMP/list" -vn -c:a aac \
    -b:a "${KBIT}k" "$TMP/ffmpeg.m4a"
}
chapters_m4b() { "$CHAPTERS" -y -F -k "$KBIT" -o "$TMP/book.m4b" "${PARTS[@]}"; }
WAYS=(ffmpeg_concat chapters_m4b)

elapsed() {
  local TIMEFORMAT='%3R'
  { time "$@" >/dev/null 2>&1; } 2>&1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for ((r = 1; r <= RUNS; r++)); do
  for way in "${WAYS[@]}"; do elapsed "$way" >>"$TMP/$way.times"; done
done
/usr/bin/time -v "$CHAPTERS" -y -F -k "$KBIT" -o "$TMP/book.m4b" "${PARTS[@]}" \
  >/dev/null 2>"$TMP/time.txt"

t() { median <"$TMP/$1.times"; }
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "medians of $RUNS interleaved rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
for way in "${WAYS[@]}"; do printf '%-14s %8.3f s\n' "$way" "$(t "$way")"; done
awk -v a="$(t chapters_m4b)" -v b="$(t ffmpeg_concat)" \
  'BEGIN { printf "%d mp3 of %s min into one m4b at %s kbit/s: %.2fx ffmpeg'"'"'s concat to AAC\n", '"$FILES"', '"$PART"', '"$KBIT"', a / b }'
echo "hushmark-chapters' peak memory: $(awk -F': ' '/Maximum resident/ { print $2 }' "$TMP/time.txt") KiB"
