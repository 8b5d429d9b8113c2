#!/usr/bin/env bash
# package.sh [amd64|armhf] [BUILD_DIR]: builds the Debian package of a real box
# (the real fixed directories, which are the defaults; no root needed) for this
# machine (amd64, the default) or cross-built for the controller's 32-bit ARM
# (armhf, with cmake/toolchain-armhf.cmake; scripts/setup-armhf.sh installs the
# cross compiler and libraries). The build goes to BUILD_DIR, default
# build/package-<arch> (the presets "package-amd64" and "package-armhf"); the
# last line printed is the package's path. packaging/check-package.sh checks it.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)

arch=${1:-amd64}
case $arch in
  amd64|armhf) ;;
  *) echo "usage: $0 [amd64|armhf] [BUILD_DIR]" >&2; exit 2 ;;
esac
build=${2:-$src/build/package-$arch}
[ "$arch" = amd64 ] || "$src/scripts/setup-armhf.sh"

(cd "$src" && cmake --preset "package-$arch" -B "$build" >/dev/null)
cmake --build "$build" -j "$(nproc)" >/dev/null
rm -f "$build"/*.deb
# dpkg-shlibdeps, which finds the dependencies, reads the libraries of the
# package's architecture (for armhf those that multiarch installs).
(cd "$build" && DEB_HOST_ARCH=$arch cpack -G DEB >/dev/null)
deb=$(ls "$build"/telvarin_*_"$arch".deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "package.sh: no telvarin_*_$arch.deb in $build" >&2; exit 1; }
echo "$deb"
