#!/usr/bin/env bash
# Builds the fuzz preset and runs each fuzz target for 40 seconds, starting
# from the committed corpus. New inputs go to a scratch folder, so the corpus
# in the repository stays as committed.
#
# Installs nothing. Needs these Debian packages: clang-14 and
# libclang-rt-14-dev (libFuzzer and the sanitizer runtimes), cmake, make.
#
# Usage: tests/fuzz/ci.sh [SECONDS_PER_TARGET]
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-40}"
cmake --preset fuzz
cmake --build --preset fuzz -j2

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
bin=build/fuzz/tests/fuzz
for target in extract extract_memory options chapter_titles chapter_list \
    part_info natural_order; do
  extra=()
  case "$target" in
    extract | extract_memory) extra=(-dict=tests/fuzz/extract.dict) ;;
    options) extra=(-max_len=8192) ;;  # room for paths past the length limit
  esac
  mkdir -p "$scratch/$target"
  echo "== fuzzing $target for ${seconds}s"
  # One process, lowest priority: the machine is shared.
  log="$scratch/$target.log"
  if ! nice -n 19 "$bin/hushmark_fuzz_$target" "${extra[@]}" -timeout=5 \
      -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$scratch/" \
      "$scratch/$target" "tests/fuzz/corpus/$target" > "$log" 2>&1; then
    tail -n 80 "$log" >&2
    echo "fuzz target $target failed; the input that did it, in base64:" >&2
    for f in "$scratch"/crash-* "$scratch"/timeout-* "$scratch"/oom-* "$scratch"/leak-*; do
      if [[ -e "$f" ]]; then base64 "$f" >&2; fi
    done
    exit 1
  fi
  grep -E '^(Done|stat::)' "$log"
done
