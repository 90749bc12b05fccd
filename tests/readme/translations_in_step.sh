#!/usr/bin/env bash
# Fails when the Japanese documents drift from the English ones, which stay
# the reference: every page in man/ has its Japanese page in man/ja/ (and no
# Japanese page lacks its English one), the two name the same options in
# their synopsis and describe the same options in their options section, and
# README.ja.md opens with README.md's first two commands, byte for byte.
#
# Usage: tests/readme/translations_in_step.sh [REPO]
set -euo pipefail
repo="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
cd "$repo"

# The options of a page, one line each: "synopsis -x" for every option its
# synopsis names, "item -x" for every option its options section describes
# (the first option on each .TP or .TQ head line).
options_of() {
  awk '
    /^\.SH / {
      section++
      in_options = ($0 ~ /^\.SH (OPTIONS|オプション)$/)
      next
    }
    section == 2 {
      line = $0
      while (match(line, /\\-[A-Za-z]/)) {
        print "synopsis -" substr(line, RSTART + 2, 1)
        line = substr(line, RSTART + RLENGTH)
      }
    }
    in_options && head && /^\.B/ && match($0, /^\.BI? \\-[A-Za-z]/) {
      print "item -" substr($0, RLENGTH, 1)
    }
    { head = in_options && ($0 ~ /^\.T[PQ]/) }' "$1" | LC_ALL=C sort -u
}

failed=0
fail() { echo "$*" >&2; failed=1; }

shopt -s nullglob
for page in man/*.1; do
  ja="man/ja/${page#man/}"
  if [ ! -f "$ja" ]; then
    fail "$page has no Japanese page $ja"
    continue
  fi
  en_options="$(options_of "$page")"
  ja_options="$(options_of "$ja")"
  [ -n "$en_options" ] || fail "$page: no option found (has its layout changed?)"
  if [ "$en_options" != "$ja_options" ]; then
    fail "$page and $ja name different options (< English, > Japanese):"
    diff <(echo "$en_options") <(echo "$ja_options") >&2 || true
  fi
done
for ja in man/ja/*.1; do
  [ -f "man/${ja#man/ja/}" ] || fail "$ja has no English page"
done

# The first two ```sh blocks of a README, fences included.
first_commands() {
  awk '/^```sh[[:space:]]*$/ { inside = 1; blocks++ }
       inside && blocks <= 2 { print }
       inside && /^```[[:space:]]*$/ { inside = 0 }' "$1"
}
if [ "$(first_commands README.md)" != "$(first_commands README.ja.md)" ]; then
  fail "README.ja.md does not open with README.md's two commands:"
  diff <(first_commands README.md) <(first_commands README.ja.md) >&2 || true
fi

[ "$failed" -eq 0 ] || exit 1
echo "the Japanese pages and README.ja.md are in step with the English ones"
