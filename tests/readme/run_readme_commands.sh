#!/usr/bin/env bash
# Runs the commands of the ```sh blocks of README.md, README.ja.md and then of
# the guides in docs/, in a fresh clone of this repository, as a new user
# would type them: README.md first, since its first command builds the tool
# that the guides' commands run, then its Japanese twin as a Japanese reader
# would type it, then docs/*.md in name order (C locale), each file's commands
# in the order they appear. Commands that only install packages, and those
# that run for many minutes (the test suite, the Wine comparison, fuzzing,
# benchmarks: .ci/run runs those itself), are left out, and each one left out
# is named. Blocks of other kinds (```console, ```text)
# show output or commands on the reader's own files and are not run.
#
# Usage: tests/readme/run_readme_commands.sh [FILE...]
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
files=()
if [ $# -gt 0 ]; then
  # The commands run inside the clone, so the files are named from here first.
  for file in "$@"; do files+=("$(realpath -- "$file")"); done
else
  files=("$repo/README.md" "$repo/README.ja.md")
  while IFS= read -r guide; do files+=("$guide"); done < <(
    LC_ALL=C find "$repo/docs" -maxdepth 1 -name '*.md' -type f | LC_ALL=C sort)
fi
for file in "${files[@]}"; do
  [ -f "$file" ] || { echo "no such file: $file" >&2; exit 1; }
done

# Why a command is left out, or nothing when it is run.
left_out_because() {
  case "$1" in
    *apt-get\ install*) echo "only installs packages" ;;
    *"--workflow --preset dev"*) echo "the whole test suite: .ci/run runs it" ;;
    *tests/wine/ci.sh*) echo "the Wine comparison: .ci/run runs it" ;;
    *tests/fuzz/ci.sh* | *hushmark_fuzz_*) echo "fuzzing runs for minutes" ;;
    *bench/*) echo "benchmarks run for minutes" ;;
    *packaging/build-packages.sh*) echo "three release builds: .ci/run builds the packages" ;;
    *) ;;
  esac
}

# A file's commands, one per line, continuation lines joined.
commands() {
  awk '
    /^```sh[[:space:]]*$/ { inside = 1; next }
    /^```/ { inside = 0; next }
    !inside { next }
    {
      line = line $0
      if (line ~ /\\$/) { sub(/\\$/, "", line); next }
      if (line !~ /^[[:space:]]*(#|$)/) print line
      line = ""
    }' "$1"
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
git clone -q "$repo" "$work/hushmark"
cd "$work/hushmark"

ran=0
for file in "${files[@]}"; do
  echo "=== ${file#"$repo/"}"
  while IFS= read -r command; do
    reason="$(left_out_because "$command")"
    if [ -n "$reason" ]; then
      echo "left out ($reason): $command"
      continue
    fi
    echo "== $command"
    start=$SECONDS
    bash -euo pipefail -c "$command" </dev/null
    echo "   took $((SECONDS - start)) s"
    ran=$((ran + 1))
  done < <(commands "$file")
done

if [ "$ran" -eq 0 ]; then
  echo "the README and the guides have no command to run" >&2
  exit 1
fi
echo "readme and guides: $ran commands ran"
