#!/usr/bin/env bash
# Builds the fuzz preset and runs each fuzz target, starting from the
# committed corpus. New inputs go to a scratch folder, so the corpus in the
# repository stays as committed.
#
# Two ways to run:
#   tests/fuzz/ci.sh [SECONDS]   explores: each target for SECONDS (40 by
#                                default) from a random seed.
#   tests/fuzz/ci.sh --repeat    repeats: each target runs a fixed number of
#                                inputs from seed 1, about 40 seconds here, so
#                                a run gives the same result on every machine
#                                and a pass here is a pass in CI. CI runs this.
#
# Installs nothing. Needs these Debian packages: clang-14 and
# libclang-rt-14-dev (libFuzzer and the sanitizer runtimes), cmake, make.
set -euo pipefail
cd "$(dirname "$0")/../.."

repeat=0
seconds=40
if [[ "${1:-}" == --repeat ]]; then
  repeat=1
  # Only a guard against a machine far slower than this one: the run counts
  # below end each target well before it.
  seconds=240
elif [[ -n "${1:-}" ]]; then
  seconds="$1"
fi
cmake --preset fuzz
cmake --build --preset fuzz -j2

# Comparisons feed libFuzzer's mutations, and some compare addresses: with
# the addresses fixed, a run repeats input for input. Where the kernel will not
# fix them the run goes on, nearly the same.
fixed_addresses=()
if ((repeat)) && setarch "$(uname -m)" -R true 2>/dev/null; then
  fixed_addresses=(setarch "$(uname -m)" -R)
fi

# The harnesses' own files go to a folder of a fixed name, for the same reason.
fixed_folder=""
if ((repeat)); then
  base=/tmp
  if [[ -w /dev/shm ]]; then base=/dev/shm; fi
  fixed_folder="$base/hushmark-fuzz-repeat"
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch" ${fixed_folder:+"$fixed_folder"}' EXIT
bin=build/fuzz/tests/fuzz
for target in extract extract_memory options chapter_titles chapter_list \
    part_info natural_order; do
  extra=()
  case "$target" in
    extract | extract_memory) extra=(-dict=tests/fuzz/extract.dict) ;;
    options) extra=(-max_len=8192) ;;  # room for paths past the length limit
  esac
  if ((repeat)); then
    # About 40 seconds of each on a 2-core machine of CI's kind.
    case "$target" in
      extract) runs=280000 ;;
      extract_memory) runs=900000 ;;
      options) runs=300000 ;;
      chapter_titles) runs=200000 ;;
      chapter_list) runs=1400000 ;;
      part_info) runs=1300000 ;;
      natural_order) runs=800000 ;;
    esac
    # No reloading of the corpus on a clock.
    extra+=(-seed=1 -runs="$runs" -reload=0)
  fi
  mkdir -p "$scratch/$target"
  if [[ -n "$fixed_folder" ]]; then
    rm -rf "$fixed_folder"
    export HUSHMARK_FUZZ_FOLDER="$fixed_folder"
  fi
  if ((repeat)); then
    echo "== fuzzing $target: $runs inputs from seed 1"
  else
    echo "== fuzzing $target for ${seconds}s"
  fi
  # One process, lowest priority: the machine is shared.
  log="$scratch/$target.log"
  if ! nice -n 19 "${fixed_addresses[@]}" "$bin/hushmark_fuzz_$target" "${extra[@]}" -timeout=5 \
      -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$scratch/" \
      "$scratch/$target" "tests/fuzz/corpus/$target" > "$log" 2>&1; then
    grep -a -m1 '^INFO: Seed:' "$log" >&2 || true
    tail -n 80 "$log" >&2
    echo "fuzz target $target failed; the input that did it, in base64:" >&2
    for f in "$scratch"/crash-* "$scratch"/timeout-* "$scratch"/oom-* "$scratch"/leak-*; do
      if [[ -e "$f" ]]; then base64 "$f" >&2; fi
    done
    exit 1
  fi
  grep -E '^(Done|stat::)' "$log"
done
