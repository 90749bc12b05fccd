#!/usr/bin/env bash
# Times the tools on recordings that ffmpeg decodes for them, side by side in
# interleaved rounds, against ffmpeg's decoding alone:
#   - one mp3 of MINUTES minutes: `ffmpeg -i x.mp3 -f s16le -y /dev/null`,
#     hushmark-chapters -i x.mp3 (choosing the threshold: every rung of the
#     ladder in one pass), the same with -s given (one threshold) and
#     hushmark-probe -i x.mp3;
#   - the WAVE of MINUTES minutes against reading it (cat), the same three;
#   - FILES mp3 files of PART minutes as one book: decoded one after another
#     by ffmpeg, and hushmark-chapters and hushmark-probe given all of them,
#     which decode them side by side;
#   - with BASELINE=DIR (a build folder of another commit holding
#     hushmark-chapters and hushmark-probe), both tools of that build and of
#     this one on the WAVE file of MINUTES minutes.
#   bench/decode_bench.sh     MINUTES=60 FILES=8 PART=5 RUNS=5 BUILD=build/bench
# Needs ffmpeg with an mp3 encoder (Debian's ffmpeg has one).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/bench}
MINUTES=${MINUTES:-60}
FILES=${FILES:-8}
PART=${PART:-5}
RUNS=${RUNS:-5}
BASELINE=${BASELINE:-}

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
  -DHUSHMARK_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" --target hushmark-chapters hushmark-probe make_wave \
  >/dev/null
CHAPTERS=$BUILD/hushmark-chapters
PROBE=$BUILD/hushmark-probe

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
"$BUILD/bench/make_wave" talk $((MINUTES * 60)) "$TMP/long.wav"
ffmpeg -v error -i "$TMP/long.wav" -c:a libmp3lame -b:a 128k "$TMP/long.mp3"
"$BUILD/bench/make_wave" talk $((PART * 60)) "$TMP/part.wav"
PARTS=()
for ((n = 1; n <= FILES; n++)); do
  ffmpeg -v error -i "$TMP/part.wav" -c:a libmp3lame -b:a 128k "$TMP/part$n.mp3"
  PARTS+=("$TMP/part$n.mp3")
done

decode_alone() { ffmpeg -v error -i "$TMP/long.mp3" -f s16le -y /dev/null; }
chapters_mp3() { "$CHAPTERS" -i "$TMP/long.mp3" -o "$TMP/long.txt"; }
chapters_mp3_s() { "$CHAPTERS" -i "$TMP/long.mp3" -s 256 -o "$TMP/long.txt"; }
probe_mp3() { "$PROBE" -i "$TMP/long.mp3"; }
decode_parts() {
  for f in "${PARTS[@]}"; do ffmpeg -v error -i "$f" -f s16le -y /dev/null; done
}
chapters_parts() { "$CHAPTERS" -o "$TMP/book.txt" "${PARTS[@]}"; }
probe_parts() { "$PROBE" "${PARTS[@]}"; }
read_wave() { cat "$TMP/long.wav"; }
chapters_wave() { "$CHAPTERS" -i "$TMP/long.wav" -o "$TMP/wave.txt"; }
chapters_wave_s() { "$CHAPTERS" -i "$TMP/long.wav" -s 0 -o "$TMP/wave_s.txt"; }
probe_wave() { "$PROBE" -i "$TMP/long.wav"; }
WAYS=(decode_alone chapters_mp3 chapters_mp3_s probe_mp3 decode_parts
  chapters_parts probe_parts read_wave chapters_wave chapters_wave_s
  probe_wave)
if [[ -n $BASELINE ]]; then
  old_chapters_wave() { "$BASELINE/hushmark-chapters" -i "$TMP/long.wav" -o "$TMP/old.txt"; }
  old_probe_wave() { "$BASELINE/hushmark-probe" -i "$TMP/long.wav"; }
  WAYS+=(old_chapters_wave old_probe_wave)
fi

elapsed() {
  local TIMEFORMAT='%3R'
  { time "$@" >/dev/null 2>&1; } 2>&1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

cat "$TMP/long.wav" >/dev/null
for ((r = 1; r <= RUNS; r++)); do
  for way in "${WAYS[@]}"; do elapsed "$way" >>"$TMP/$way.times"; done
done

t() { median <"$TMP/$1.times"; }
ratio() { awk -v a="$(t "$1")" -v b="$(t "$2")" 'BEGIN { printf "%.2f", a / b }'; }
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "medians of $RUNS interleaved rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
for way in "${WAYS[@]}"; do printf '%-18s %8.3f s\n' "$way" "$(t "$way")"; done
echo "one mp3 of $MINUTES min, over ffmpeg's decoding alone: chapters $(ratio chapters_mp3 decode_alone)x (with -s: $(ratio chapters_mp3_s decode_alone)x), probe $(ratio probe_mp3 decode_alone)x"
echo "the WAVE of $MINUTES min, over reading it: chapters $(ratio chapters_wave read_wave)x (with -s: $(ratio chapters_wave_s read_wave)x), probe $(ratio probe_wave read_wave)x"
echo "$FILES mp3 of $PART min as one book, over decoding them one after another: chapters $(ratio chapters_parts decode_parts)x, probe $(ratio probe_parts decode_parts)x"
if [[ -n $BASELINE ]]; then
  echo "WAVE of $MINUTES min, over $BASELINE: chapters $(ratio chapters_wave old_chapters_wave)x, probe $(ratio probe_wave old_probe_wave)x"
  cmp -s "$TMP/wave.txt" "$TMP/old.txt" && echo "the same chapter file as $BASELINE's"
fi
