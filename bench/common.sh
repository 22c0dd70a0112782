# Sourced by the benchmark scripts from the project's root. A benchmark never
# touches the build folders others work in: given BUILD_LINUX or
# BUILD_WINDOWS it uses that build as it is, without building anything;
# otherwise it builds the targets it needs into a folder of its own under
# build/bench. A Wine prefix it makes is its own too, and so is the only Wine
# server it ends.

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { echo "$1 $2" | awk '{ printf "%.2f", $1 / $2 }'; }

# preset_build PRESET GIVEN TARGET...: the build folder holding the targets,
# GIVEN as it is when set, else the preset built under build/bench.
preset_build() {
  preset=$1 given=$2
  shift 2
  if [ -n "$given" ]; then
    (cd "$given" && pwd)
    return
  fi
  folder=$(pwd)/build/bench/$preset
  cmake --preset "$preset" -B "$folder" >/dev/null
  cmake --build "$folder" -j2 --target "$@" >/dev/null
  echo "$folder"
}

# linux_build TARGET...: sets LINUX to the build folder holding them.
linux_build() { LINUX=$(preset_build linux "$BUILD_LINUX" "$@"); }

# windows_build TARGET...: sets WINDOWS likewise.
windows_build() { WINDOWS=$(preset_build windows "$BUILD_WINDOWS" "$@"); }

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
