#!/usr/bin/env bash
# Runs every test: installs what is missing, then builds and tests twice, once
# with AddressSanitizer and UndefinedBehaviorSanitizer and once as a release
# build with warnings as errors; then a short fuzz run (scripts/fuzz.sh) and a
# third build, cross-built for 32-bit ARM and tested under qemu-arm
# (scripts/test-armhf.sh). Each build's fixed directories live in its own build
# folder, so nothing outside the repository is written.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh

jobs=$(nproc)
run_build() {  # name, then extra cmake arguments
  local name=$1; shift
  local dir="build/$name"
  cmake -S . -B "$dir" \
    -DTELVARIN_SITE_DIR="$PWD/$dir/box/usr/local/telvarinserver/" \
    -DTELVARIN_RUNTIME_DIR="$PWD/$dir/box/usr/local/vorlund/" \
    "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

run_build sanitize -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=address,undefined
run_build release -DCMAKE_BUILD_TYPE=Release -DWERROR=ON
# A short fuzz run of every target (clang, libFuzzer): FUZZ_SECONDS each, default 60.
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
# The controller's CPU: the armhf build's tests under qemu-arm, and its pages
# compared byte for byte with the release build's.
scripts/test-armhf.sh build/release
