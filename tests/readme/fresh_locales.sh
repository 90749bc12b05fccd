#!/usr/bin/env bash
# Runs the test suite of an already built BUILD_DIR as it runs on a fresh
# Debian machine, where `locale -a` shows only C, C.utf8 and POSIX: inside a
# mount namespace the locale archive that localedef writes is hidden (Debian's
# C.utf8 lives in a folder of its own and stays). The tests that need another
# locale must pass by reporting themselves skipped. Needs root.
#
# Usage: tests/readme/fresh_locales.sh BUILD_DIR
set -euo pipefail
build="${1:?usage: fresh_locales.sh BUILD_DIR}"
archive=/usr/lib/locale/locale-archive
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# Only when the archive exists is there anything to hide.
hide=""
if [ -e "$archive" ]; then hide="mount --bind /dev/null $archive &&"; fi
unshare -m sh -c "$hide"'
  echo "locales: $(locale -a | tr "\n" " ")"
  ctest --test-dir "$0" --output-on-failure -j2' "$build" 2>&1 | tee "$log"

# The suite passed (tee keeps ctest's status through pipefail); check that the
# locale tests were skipped rather than left out unnoticed.
for test in Talk.SpeaksTheLocalesEncoding Talk.UsesTheLocalesDecimalSeparatorForLengthsOnly; do
  if ! grep -Eq "$test .*Skipped" "$log"; then
    echo "expected $test to be skipped without its locale" >&2
    exit 1
  fi
done
