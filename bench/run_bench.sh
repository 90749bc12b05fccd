#!/usr/bin/env bash
# Times hushmark and hushmark-probe on hour-long, page-cached WAVE files
# against the cost of reading them (cat) and, when installed, against ffmpeg's
# silencedetect; then
# the cost of a chapter point (every frame of ten minutes a point), of a
# batch of 1,000 one-second files against cat over them, and of the hour
# against dd bs=512K. Runs are interleaved so that a noisy machine slows every
# contender alike.
#   bench/run_bench.sh            RUNS=9 BUILD=build/bench by default
# Last, hushmark-chapters against hushmark on the hour, side by side.
#   BASELINE=old/hushmark bench/run_bench.sh
#                                 also times another build on the point and
#                                 batch runs and checks its output is the same
#   PROBE_BASELINE=old/hushmark-probe bench/run_bench.sh
#                                 also times another probe build on the hour
#                                 files, in the same rounds, and checks that
#                                 this probe's output begins with all of its
#                                 output; for the probe of another commit:
#                                   git archive REV | tar -x -C DIR
#                                   cmake -S DIR -B DIR/build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
#                                   cmake --build DIR/build --target hushmark-probe
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/bench}
RUNS=${RUNS:-9}
FFMPEG_RUNS=${FFMPEG_RUNS:-3}
BASELINE=${BASELINE:-}
PROBE_BASELINE=${PROBE_BASELINE:-}
BATCH=1000

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
  -DHUSHMARK_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" --target hushmark hushmark-probe hushmark-chapters \
  make_wave >/dev/null
HUSHMARK=$BUILD/hushmark
PROBE=$BUILD/hushmark-probe
CHAPTERS=$BUILD/hushmark-chapters
MAKE_WAVE=$BUILD/bench/make_wave

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
"$MAKE_WAVE" talk 3600 "$TMP/talk.wav"
"$MAKE_WAVE" hiss 3600 "$TMP/hiss.wav"
"$MAKE_WAVE" flip 600 "$TMP/flip.wav"
"$MAKE_WAVE" talk 1 "$TMP/one.wav"
mkdir "$TMP/batch"
for ((n = 1; n <= BATCH; n++)); do cp "$TMP/one.wav" "$TMP/batch/$n.wav"; done

# name|file|hushmark options|silencedetect noise level: the amplitude ratio
# whose 16-bit value (truncated) is one above the hushmark threshold
CASES=(
  "talk|$TMP/talk.wav|-s 0|0.00004"
  "hiss -s 40|$TMP/hiss.wav|-s 40|0.00126"
  "flip (10 min)|$TMP/flip.wav|-s 0|0.00004"
)
HAVE_FFMPEG=0
command -v ffmpeg >/dev/null && HAVE_FFMPEG=1

# Wall-clock and CPU (user + system) seconds of a command, output dropped.
elapsed() {
  local TIMEFORMAT='%3R %3U %3S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }'
}

# The median of column $1.
median() { awk -v c="$1" '{ print $c }' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

read_floor() { cat "$1" >/dev/null; }
run_hushmark() { "$HUSHMARK" $2 -i "$1" -o "$TMP/out.txt"; }
run_probe() { "${2:-$PROBE}" -i "$1"; }
run_ffmpeg() {
  ffmpeg -nostdin -hide_banner -i "$1" -af "silencedetect=noise=$2:d=0.2" -f null -
}

# Warm the page cache, then time every contender once per round.
for c in "${CASES[@]}"; do IFS='|' read -r name file opts noise <<<"$c"; cat "$file" >/dev/null; done
for ((r = 1; r <= RUNS; r++)); do
  for i in "${!CASES[@]}"; do
    IFS='|' read -r name file opts noise <<<"${CASES[$i]}"
    elapsed read_floor "$file" >>"$TMP/cat.$i"
    elapsed run_hushmark "$file" "$opts" >>"$TMP/hm.$i"
    if [[ -n $PROBE_BASELINE ]] && ((r % 2 == 0)); then
      # Each goes first in every other round.
      elapsed run_probe "$file" "$PROBE_BASELINE" >>"$TMP/pb.$i"
      elapsed run_probe "$file" >>"$TMP/pr.$i"
    elif [[ -n $PROBE_BASELINE ]]; then
      elapsed run_probe "$file" >>"$TMP/pr.$i"
      elapsed run_probe "$file" "$PROBE_BASELINE" >>"$TMP/pb.$i"
    else
      elapsed run_probe "$file" >>"$TMP/pr.$i"
    fi
    if ((HAVE_FFMPEG && r <= FFMPEG_RUNS)); then
      elapsed run_ffmpeg "$file" "$noise" >>"$TMP/ff.$i"
    fi
  done
done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "medians of $RUNS interleaved runs (ffmpeg: $FFMPEG_RUNS); seconds wall-clock, CPU in brackets"
printf '%-14s %15s %15s %15s %13s %10s %8s %6s %15s %13s %8s\n' case cat hushmark ffmpeg hm/cat ffmpeg/hm peak_KiB points \
  probe probe/cat peak_KiB
for i in "${!CASES[@]}"; do
  IFS='|' read -r name file opts noise <<<"${CASES[$i]}"
  cw=$(median 1 <"$TMP/cat.$i") cc=$(median 2 <"$TMP/cat.$i")
  hw=$(median 1 <"$TMP/hm.$i") hc=$(median 2 <"$TMP/hm.$i")
  fw=- fc=-
  if [[ -f $TMP/ff.$i ]]; then fw=$(median 1 <"$TMP/ff.$i") fc=$(median 2 <"$TMP/ff.$i"); fi
  peak=$(/usr/bin/time -v "$HUSHMARK" $opts -i "$file" -o "$TMP/out.txt" 2>&1 >/dev/null |
    awk -F: '/Maximum resident/ { gsub(/ /, "", $2); print $2 }')
  points=$(wc -l <"$TMP/out.txt")
  pw=$(median 1 <"$TMP/pr.$i") pc=$(median 2 <"$TMP/pr.$i")
  ppeak=$(/usr/bin/time -v "$PROBE" -i "$file" 2>&1 >/dev/null |
    awk -F: '/Maximum resident/ { gsub(/ /, "", $2); print $2 }')
  awk -v n="$name" -v cw="$cw" -v cc="$cc" -v hw="$hw" -v hc="$hc" -v fw="$fw" -v fc="$fc" \
    -v p="$peak" -v k="$points" -v pw="$pw" -v pc="$pc" -v pp="$ppeak" 'BEGIN {
    ff = (fw == "-") ? "-" : sprintf("%.3f (%.3f)", fw, fc)
    fr = (fw == "-") ? "-" : sprintf("%.0fx", fw / hw)
    printf "%-14s %15s %15s %15s %13s %10s %8s %6s %15s %13s %8s\n", n, sprintf("%.3f (%.3f)", cw, cc),
      sprintf("%.3f (%.3f)", hw, hc), ff, sprintf("%.2fx (%.2fx)", hw / cw, hc / cc), fr, p, k,
      sprintf("%.3f (%.3f)", pw, pc), sprintf("%.2fx (%.2fx)", pw / cw, pc / cc), pp }'
done

if [[ -n $PROBE_BASELINE ]]; then
  echo
  echo "probe against PROBE_BASELINE, medians of the same $RUNS rounds; seconds wall-clock, CPU in brackets"
  printf '%-14s %15s %15s %15s  %s\n' case probe baseline probe/baseline output
  for i in "${!CASES[@]}"; do
    IFS='|' read -r name file opts noise <<<"${CASES[$i]}"
    "$PROBE" -i "$file" >"$TMP/probe.new"
    "$PROBE_BASELINE" -i "$file" >"$TMP/probe.old"
    same="differs from the baseline's"
    cmp -s -n "$(stat -c %s "$TMP/probe.old")" "$TMP/probe.old" "$TMP/probe.new" &&
      same="begins with the baseline's"
    pw=$(median 1 <"$TMP/pr.$i") pc=$(median 2 <"$TMP/pr.$i")
    bw=$(median 1 <"$TMP/pb.$i") bc=$(median 2 <"$TMP/pb.$i")
    awk -v n="$name" -v pw="$pw" -v pc="$pc" -v bw="$bw" -v bc="$bc" -v s="$same" 'BEGIN {
      printf "%-14s %15s %15s %15s  %s\n", n, sprintf("%.3f (%.3f)", pw, pc), sprintf("%.3f (%.3f)", bw, bc),
        sprintf("%.2fx (%.2fx)", pw / bw, pc / bc), s }'
  done
fi

# Chapter points, short runs and the read floor of dd, interleaved likewise.
run_points() { "$1" -m 0 -i "$TMP/flip.wav" -o "$TMP/points.txt"; }
run_batch() {
  local n
  for ((n = 1; n <= BATCH; n++)); do "$1" -i "$TMP/batch/$n.wav" -o "$TMP/batch/$n.txt"; done
}
cat_batch() {
  local n
  for ((n = 1; n <= BATCH; n++)); do cat "$TMP/batch/$n.wav"; done
}
read_dd() { dd if="$1" of=/dev/null bs=512K status=none; }
BUILDS=("$HUSHMARK")
[[ -n $BASELINE ]] && BUILDS+=("$BASELINE")
for ((r = 1; r <= RUNS; r++)); do
  for b in "${!BUILDS[@]}"; do
    elapsed run_points "${BUILDS[$b]}" >>"$TMP/points.$b"
    elapsed run_batch "${BUILDS[$b]}" >>"$TMP/batch.$b"
  done
  elapsed cat_batch >>"$TMP/batch.cat"
  elapsed read_dd "$TMP/talk.wav" >>"$TMP/dd"
  elapsed run_hushmark "$TMP/talk.wav" "" >>"$TMP/talk"
done

points=$("$HUSHMARK" -m 0 -i "$TMP/flip.wav" -o "$TMP/points.txt" | tee "$TMP/console.txt" | wc -l)
points=$((points - 3))  # the settings echo
echo
echo "uptime: $(uptime | sed 's/.*load/load/')"
for b in "${!BUILDS[@]}"; do
  label=hushmark
  if ((b > 0)); then
    label=baseline
    "$BASELINE" -m 0 -i "$TMP/flip.wav" -o "$TMP/points.txt" >"$TMP/console.old"
    cp "$TMP/points.txt" "$TMP/points.old"
    "$HUSHMARK" -m 0 -i "$TMP/flip.wav" -o "$TMP/points.txt" >/dev/null
    same=different
    cmp -s "$TMP/console.txt" "$TMP/console.old" && cmp -s "$TMP/points.txt" "$TMP/points.old" &&
      same=identical
    echo "baseline output (console and chapter file): $same"
  fi
  pw=$(median 1 <"$TMP/points.$b") pc=$(median 2 <"$TMP/points.$b")
  awk -v l="$label" -v w="$pw" -v c="$pc" -v k="$points" 'BEGIN {
    printf "%-8s -m 0, every frame of 10 min: %d points, %.3f s (%.3f s CPU): %.0f ns per point\n",
      l, k, w, c, w / k * 1e9 }'
done
cw=$(median 1 <"$TMP/batch.cat") cc=$(median 2 <"$TMP/batch.cat")
for b in "${!BUILDS[@]}"; do
  label=hushmark
  ((b > 0)) && label=baseline
  hw=$(median 1 <"$TMP/batch.$b") hc=$(median 2 <"$TMP/batch.$b")
  awk -v l="$label" -v n="$BATCH" -v cw="$cw" -v cc="$cc" -v hw="$hw" -v hc="$hc" 'BEGIN {
    printf "%-8s %d one-second files: %.3f s (%.3f s CPU), cat %.3f s (%.3f s CPU): %.2fx (%.2fx)\n",
      l, n, hw, hc, cw, cc, hw / cw, hc / cc
    printf "         per file: %.2f ms, cat %.2f ms\n", hw / n * 1e3, cw / n * 1e3 }'
done
dw=$(median 1 <"$TMP/dd") dc=$(median 2 <"$TMP/dd")
tw=$(median 1 <"$TMP/talk") tc=$(median 2 <"$TMP/talk")
awk -v dw="$dw" -v dc="$dc" -v tw="$tw" -v tc="$tc" 'BEGIN {
  printf "hushmark 1 h talk: %.3f s (%.3f s CPU), dd bs=512K %.3f s (%.3f s CPU): %.2fx (%.2fx)\n",
    tw, tc, dw, dc, tw / dw, tc / dc }'

# hushmark-chapters against hushmark on the hours, interleaved: the same walk
# and scan, then the choice of breaks and one file written whole.
run_chapters() {
  "$CHAPTERS" $2 -i "$1" -o "$TMP/chapters.ffmetadata" -f ffmetadata -n 24 -l 300
}
for ((r = 1; r <= RUNS; r++)); do
  for i in 0 1; do
    IFS='|' read -r name file opts noise <<<"${CASES[$i]}"
    elapsed run_hushmark "$file" "$opts" >>"$TMP/hm2.$i"
    elapsed run_chapters "$file" "$opts" >>"$TMP/ch.$i"
  done
done
for i in 0 1; do
  IFS='|' read -r name file opts noise <<<"${CASES[$i]}"
  hw=$(median 1 <"$TMP/hm2.$i") hc=$(median 2 <"$TMP/hm2.$i")
  chw=$(median 1 <"$TMP/ch.$i") chc=$(median 2 <"$TMP/ch.$i")
  awk -v n="$name" -v hw="$hw" -v hc="$hc" -v cw="$chw" -v cc="$chc" 'BEGIN {
    printf "hushmark-chapters -n 24 -l 300, 1 h %s: %.3f s (%.3f s CPU), hushmark %.3f s (%.3f s CPU): %.2fx (%.2fx)\n",
      n, cw, cc, hw, hc, cw / hw, cc / hc }'
done
