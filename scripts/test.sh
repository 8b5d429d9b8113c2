#!/usr/bin/env bash
# Runs every test: installs what is missing (scripts/setup-debian.sh test), then
# builds and tests the presets "sanitize" (AddressSanitizer and
# UndefinedBehaviorSanitizer) and "release" (warnings as errors); then a short
# fuzz run (scripts/fuzz.sh) and a third build, cross-built for 32-bit ARM,
# tested under qemu-arm, with its Debian package built and checked
# (scripts/test-armhf.sh). Each build's fixed directories live in its own build
# folder, so nothing outside the repository is written.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh test

jobs=$(nproc)
run_build() {  # preset
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs"
}

run_build sanitize
run_build release
# A short fuzz run of every target (clang, libFuzzer): FUZZ_SECONDS each, default 60.
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
# The controller's CPU: the armhf build's tests under qemu-arm, its pages
# compared byte for byte with the release build's, and its package.
scripts/test-armhf.sh build/release
