#!/usr/bin/env bash
# The stack check itself: a program whose SSE values live on the stack fails
# it, naming the function, when built as GCC builds by default; built with the
# realigning flag, it passes.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
passed=0 failed=0
for flag in "" -mincoming-stack-boundary=2; do
  i686-w64-mingw32-gcc-posix -O2 $flag -o "$work/bin/hazard.exe" "$ROOT/tests/scripts/stack_hazard.c" || exit 1
  out=$(BUILD=$work "$ROOT/scripts/check-stack-alignment" "$work/bin/hazard.exe"); rc=$?
  if [ -z "$flag" ]; then ok=$([ $rc -ne 0 ] && grep -q '^hazard.exe: hazard at 0x[0-9a-f]*: .*XMMWORD PTR \[esp' <<<"$out" && echo 1)
  else ok=$([ $rc -eq 0 ] && echo 1); fi
  if [ "$ok" = 1 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: built with '${flag:-no flag}':"; echo "$out"; fi
done
echo "stack check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
