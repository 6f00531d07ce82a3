#!/usr/bin/env bash
# The scripts' choice of programs and Wine, in both settings of QUORVA_ARCH:
# each names its build, prefix kind and Wine loader by path, and the wine
# function runs that loader without calling itself. Where this machine runs
# the kind, a program started through it reports that processor kind.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
passed=0 failed=0
check() {  # description, command...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; fi
}

for arch in i686 x86_64; do
  (
    source "$ROOT/scripts/lib/common.sh"
    QUORVA_ARCH=$arch
    quorva_choose_arch
    if [ "$arch" = i686 ]; then build=$BUILD loader=/usr/lib/wine/wine kind=x86 prefix_arch=win32
    else build=$BUILD/x64 loader=/usr/lib/wine/wine64 kind=AMD64 prefix_arch=win64; fi
    [ "$RUN_BUILD" = "$build" ] || { echo "$arch: RUN_BUILD $RUN_BUILD"; exit 1; }
    [ "$QUORVA_WINE" = "$loader" ] || { echo "$arch: QUORVA_WINE $QUORVA_WINE"; exit 1; }
    # A function calling itself would pass this depth at once.
    version=$(FUNCNEST=3 wine --version 2>&1)
    if [ "$arch" = x86_64 ] || quorva_runs_32bit; then
      [[ $version == wine-* ]] || { echo "$arch: wine --version gave: $version"; exit 1; }
      [ -d "$build/wine" ] || exit 0  # no prefix yet: nothing of this kind has run here
      quorva_wine_env
      [ "$WINEARCH" = "$prefix_arch" ] || { echo "$arch: WINEARCH $WINEARCH"; exit 1; }
      seen=$(wine cmd /c echo %PROCESSOR_ARCHITECTURE% 2>/dev/null | tr -d '\r')
      [ "$seen" = "$kind" ] || { echo "$arch: a program reports \"$seen\", not $kind"; exit 1; }
    else
      [[ $version != *"nesting level"* ]] || { echo "$arch: wine calls itself"; exit 1; }
    fi
  )
  check "QUORVA_ARCH=$arch" test $? -eq 0
done

# Unset, the choice is the 32-bit programs exactly where 32-bit programs run.
choice=$(unset QUORVA_ARCH; source "$ROOT/scripts/lib/common.sh"; quorva_choose_arch; echo "$QUORVA_ARCH")
if /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then expected=i686; else expected=x86_64; fi
check "automatic choice ($choice)" test "$choice" = "$expected"

echo "scripts: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
