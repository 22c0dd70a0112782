#!/bin/sh
# Installs the Debian packages the builds, tests and demo need, if missing.
set -e
PACKAGES="cmake make g++ googletest libgtest-dev libbenchmark-dev g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine xvfb xauth imagemagick xdotool git python3 libcurl4-openssl-dev
  libarchive-tools hyperfine clang-format curl ca-certificates nlohmann-json3-dev libssl-dev time"
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
