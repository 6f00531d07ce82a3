# Shared by scripts/test, scripts/play and scripts/bench: the build folder,
# the tools check, the build, and an isolated Wine prefix inside the build.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build}

quorva_tools_present() {
  command -v i686-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null &&
    command -v xvfb-run >/dev/null && command -v cmake >/dev/null &&
    [ -f /usr/src/googletest/CMakeLists.txt ] && command -v import >/dev/null &&
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'
}

quorva_setup_deps() {
  quorva_tools_present || "$ROOT/scripts/setup-deps"
}

quorva_build() {
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$BUILD" -j "$(nproc)" "$@"
}

# The prefix, the audio device and HOME all live in the build folder, so a run
# never touches the user's own Wine setup.
quorva_wine_env() {
  export WINEPREFIX="${QUORVA_WINEPREFIX:-$BUILD/wine}"
  export WINEARCH=win32
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export HOME="$BUILD/home"
  mkdir -p "$HOME"
  # No sound card here: ALSA's null device lets DirectShow render and play audio in real time.
  printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$HOME/.asoundrc"
  local version=2
  if [ "$(cat "$WINEPREFIX/.quorva-ready" 2>/dev/null)" != "$version" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # Without a crash debugger a crashing program ends at once instead of waiting in winedbg.
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
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
    xvfb-run -a -s '-screen 0 1280x1024x24' "$@"
  fi
}
