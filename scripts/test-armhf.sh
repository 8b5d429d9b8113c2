#!/usr/bin/env bash
# test-armhf.sh [NATIVE_BUILD]: the tests on the controller's CPU. Cross-builds
# the tree for 32-bit ARM (armhf: char unsigned, long and pointers of 32 bits;
# the "armhf" preset) into build/armhf, whose fixed directories lie inside it,
# runs every test of that build under qemu-arm, then renders the same requests
# with the native build's programs (NATIVE_BUILD, default build/release, the
# release preset of scripts/test.sh; configured and built here when missing) and
# the armhf ones and compares the pages byte for byte
# (tests/armhf/compare-pages.sh). Last it builds the armhf Debian package and
# checks it as the amd64 one is checked (packaging/check-package.sh), in
# build/armhf/package-check.
#
# ctest starts each test program through qemu-arm (the toolchain's emulator);
# the programs, Sheetmaker and the trial runtime that the tests start in turn
# run through binfmt_misc, which scripts/setup-armhf.sh registers. The preset
# leaves out UBSan's "alignment" check: on ARM's Thumb code a function's address
# is odd, so that check reports every std::function made from a function.
# Alignment is still checked by the native sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-armhf.sh

native=${1:-build/release}
jobs=$(nproc)
dir=build/armhf

cmake --preset armhf >/dev/null
cmake --build --preset armhf -j "$jobs"

if ! "$dir/toolkit/toolkit_test" --gtest_list_tests >/dev/null 2>&1; then
  echo "test-armhf: an armhf program does not start by itself; qemu-arm must be" \
       "registered with binfmt_misc (scripts/setup-armhf.sh, as root)" >&2
  exit 1
fi
ctest --preset armhf -j "$jobs"

if [ ! -f "$native/CMakeCache.txt" ]; then
  [ "$native" = build/release ] || { echo "test-armhf: $native is not a build" >&2; exit 1; }
  cmake --preset release >/dev/null
fi
cmake --build "$native" -j "$jobs" --target TelvarinServer TelvarinInterface Sheetmaker trial-runtime
tests/armhf/compare-pages.sh "$native" "$dir"

packaging/check-package.sh "$PWD" "$dir/package-check" armhf
