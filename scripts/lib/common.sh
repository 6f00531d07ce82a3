# Shared by scripts/test, scripts/play and scripts/bench: the build folder,
# the tools check, the build, and an isolated Wine prefix inside the build.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build}

quorva_tools_present() {
  command -v i686-w64-mingw32-g++-posix >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
    command -v wine >/dev/null && [ -x /usr/lib/wine/wine64 ] &&
    command -v xvfb-run >/dev/null && command -v cmake >/dev/null &&
    [ -f /usr/src/googletest/CMakeLists.txt ] && command -v import >/dev/null &&
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'
}

quorva_setup_deps() {
  quorva_tools_present || "$ROOT/scripts/setup-deps"
  quorva_choose_arch
}

# Whether this machine runs 32-bit Linux programs, Wine's 32-bit half among
# them: some virtual machines do not ("Exec format error").
quorva_runs_32bit() { /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; }

# The programs ship in two kinds: 32-bit (build/bin) and 64-bit
# (build/x64/bin). scripts/test runs the tests against every kind this machine
# can run; play and bench run the 32-bit programs where they can, else the
# 64-bit ones. QUORVA_ARCH=i686 or x86_64 forces one kind.
quorva_arches() {
  if [ -n "${QUORVA_ARCH:-}" ]; then echo "$QUORVA_ARCH"
  elif quorva_runs_32bit; then echo "i686 x86_64"
  else echo x86_64; fi
}

# RUN_BUILD is the build whose programs run, QUORVA_WINE the Wine loader
# that runs them.
quorva_choose_arch() {
  if [ -z "${QUORVA_ARCH:-}" ]; then
    if quorva_runs_32bit; then QUORVA_ARCH=i686; else QUORVA_ARCH=x86_64; fi
  fi
  if [ "$QUORVA_ARCH" = i686 ]; then
    RUN_BUILD=$BUILD
    QUORVA_WINE=/usr/lib/wine/wine
  else
    RUN_BUILD=$BUILD/x64
    QUORVA_WINE=/usr/lib/wine/wine64
  fi
  export QUORVA_ARCH RUN_BUILD QUORVA_WINE
}

quorva_configure() {  # folder, toolchain
  if [ ! -f "$1/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$2.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
}

# Builds the 32-bit programs, and for the 64-bit kind the 64-bit build too;
# arguments (such as --target) go to the build that runs.
quorva_build() {
  quorva_configure "$BUILD" mingw-i686
  if [ "$QUORVA_ARCH" = i686 ]; then
    cmake --build "$BUILD" -j "$(nproc)" "$@"
  else
    cmake --build "$BUILD" -j "$(nproc)" --target Player Setup
    quorva_configure "$RUN_BUILD" mingw-x86_64
    cmake --build "$RUN_BUILD" -j "$(nproc)" "$@"
  fi
}

# Runs the Wine that matches the programs being run: its loader by path, so
# that this function never finds itself.
wine() { "$QUORVA_WINE" "$@"; }
export -f wine

# The prefix, the audio device and HOME all live in the build folder, so a run
# never touches the user's own Wine setup.
quorva_wine_env() {
  # Wine writes Windows names to the disk in the locale's character set: with
  # UTF-8 every name reaches the disk, whatever the calling environment sets
  # (without a locale, a name beyond ASCII cannot be created at all).
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  export WINEPREFIX="${QUORVA_WINEPREFIX:-$RUN_BUILD/wine}"
  if [ "$QUORVA_ARCH" = i686 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export HOME="$RUN_BUILD/home"
  mkdir -p "$HOME"
  # No sound card here: ALSA's null device lets DirectShow render and play audio in real time.
  printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$HOME/.asoundrc"
  local version=4
  if [ "$(cat "$WINEPREFIX/.quorva-ready" 2>/dev/null)" != "$version" ]; then
    rm -rf "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # Without a crash debugger a crashing program ends at once instead of waiting in winedbg.
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
    # Wine still starts winedbg for a crash unless its dialog is off; then the
    # crashed program ends at once with a non-zero code.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    # No window manager runs on the virtual display: unmanaged windows spare every
    # DestroyWindow Wine's two-second wait for a manager's acknowledgement.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w
    echo "$version" >"$WINEPREFIX/.quorva-ready"
  fi
}

# Runs "$@" on a virtual X display unless one is set already.
quorva_with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 ${QUORVA_SCREEN:-1280x1024}x24" "$@"
  fi
}
