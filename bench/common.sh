# Sourced by the benchmark scripts from the project's root. A benchmark never
# touches the build folders others work in: given BUILD_LINUX or
# BUILD_WINDOWS it uses that build as it is, without building anything;
# otherwise it builds the targets it needs into a folder of its own under
# build/bench. A Wine prefix it makes is its own too, and so is the only Wine
# server it ends.

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { echo "$1 $2" | awk '{ printf "%.2f", $1 / $2 }'; }

# linux_build TARGET...: sets LINUX to the build folder holding them.
linux_build() {
  if [ -n "$BUILD_LINUX" ]; then
    LINUX=$(cd "$BUILD_LINUX" && pwd)
    return
  fi
  LINUX=$(pwd)/build/bench/linux
  cmake --preset linux -B "$LINUX" >/dev/null
  cmake --build "$LINUX" -j2 --target "$@" >/dev/null
}

# windows_build TARGET...: sets WINDOWS likewise.
windows_build() {
  if [ -n "$BUILD_WINDOWS" ]; then
    WINDOWS=$(cd "$BUILD_WINDOWS" && pwd)
    return
  fi
  WINDOWS=$(pwd)/build/bench/windows
  cmake --preset windows -B "$WINDOWS" >/dev/null
  cmake --build "$WINDOWS" -j2 --target "$@" >/dev/null
}

# A Wine prefix for this benchmark run alone, under WORK, with its server
# running; wine_end stops that server and no other.
wine_start() {
  BENCH_PREFIX="$1/wine-prefix"
  export WINEPREFIX="$BENCH_PREFIX" WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export HOME="$1/home"
  mkdir -p "$HOME"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
}
wine_end() { [ -z "$BENCH_PREFIX" ] || WINEPREFIX="$BENCH_PREFIX" wineserver -k 2>/dev/null || true; }
