#!/bin/sh
# Delay-loaded system DLLs for a MinGW program, in two steps.
#
#   library nm dlltool import-library dll-name output i686|x86_64
#     Makes the delay-import library of one DLL from the toolchain's import
#     library (its exports.def stays beside it, in output.d). The program then
#     loads the DLL when it first calls into it, through the C runtime's
#     __delayLoadHelper2.
#
#   keep objdump probe-program output i686|x86_64 library...
#     Writes the linker options that keep the call stub of every function
#     the probe program (the same program linked with ordinary imports)
#     imports from those DLLs. The 32-bit linker drops a stub nothing names
#     directly, and code reaches imports through their pointers, not by
#     name: without the option the pointer would be left null.
set -eu
mode=$1
shift
if [ "$mode" = library ]; then
  nm=$1 dlltool=$2 implib=$3 dll=$4 out=$5 arch=$6
  work="$out.d"
  rm -rf "$work" "$out"
  mkdir -p "$work"
  {
    echo "LIBRARY $dll"
    echo "EXPORTS"
    # 32-bit names carry the C underscore and the stdcall @n, which the
    # library keeps and the DLL's own export names drop (--kill-at).
    if [ "$arch" = i686 ]; then
      "$nm" "$implib" | sed -n 's/^.* I __imp__//p'
    else
      "$nm" "$implib" | sed -n 's/^.* I __imp_//p'
    fi | sort -u
  } >"$work/exports.def"
  if [ "$arch" = i686 ]; then kill_at=--kill-at; else kill_at=; fi
  "$dlltool" $kill_at --input-def "$work/exports.def" --dllname "$dll" --output-delaylib "$out"
  exit 0
fi

objdump=$1 probe=$2 out=$3 arch=$4
shift 4
: >"$out.tmp"
for library in "$@"; do
  dll=$(sed -n 's/^LIBRARY //p' "$library.d/exports.def")
  # The probe's import table: the functions it takes from this DLL.
  "$objdump" -p "$probe" | awk -v dll="$dll" '
    /DLL Name:/ { inside = tolower($3) == tolower(dll); next }
    inside && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print $3 }
    inside && NF == 0 { inside = 0 }' |
  while read -r name; do
    if [ "$arch" = i686 ]; then
      decorated=$(grep -m1 -E "^$name(@[0-9]+)?\$" "$library.d/exports.def" || true)
      [ -n "$decorated" ] && echo "-Wl,--undefined=_$decorated"
    else
      echo "-Wl,--undefined=$name"
    fi
  done >>"$out.tmp"
done
mv "$out.tmp" "$out"
