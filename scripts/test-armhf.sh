#!/usr/bin/env bash
# test-armhf.sh [NATIVE_BUILD]: the tests on the controller's CPU. Cross-builds
# the tree for 32-bit ARM (armhf: char unsigned, long and pointers of 32 bits)
# into build/armhf, whose fixed directories lie inside it, runs every test of
# that build under qemu-arm, then renders the same requests with the native
# build's programs (NATIVE_BUILD, default build/release, the release build of
# scripts/test.sh; configured and built here when missing) and the armhf ones
# and compares the pages byte for byte (tests/armhf/compare-pages.sh).
#
# ctest starts each test program through qemu-arm (the toolchain's emulator);
# the programs, Sheetmaker and the trial runtime that the tests start in turn
# run through binfmt_misc, which scripts/setup-armhf.sh registers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-armhf.sh

native=${1:-build/release}
jobs=$(nproc)
dir=build/armhf

# The undefined-behaviour checks, all but "alignment": on ARM's Thumb code a
# function's address is odd, so that check reports every std::function made
# from a function. Alignment is still checked by the native sanitizer build.
ubsan=shift,integer-divide-by-zero,unreachable,vla-bound,null,return,signed-integer-overflow
ubsan+=,bounds,object-size,nonnull-attribute,returns-nonnull-attribute,bool,enum,vptr
ubsan+=,pointer-overflow,builtin
cmake -S . -B "$dir" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-armhf.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DWERROR=ON -DSANITIZE="$ubsan" \
  -DTELVARIN_SITE_DIR="$PWD/$dir/box/usr/local/telvarinserver/" \
  -DTELVARIN_RUNTIME_DIR="$PWD/$dir/box/usr/local/vorlund/" >/dev/null
cmake --build "$dir" -j "$jobs"

if ! "$dir/toolkit/toolkit_test" --gtest_list_tests >/dev/null 2>&1; then
  echo "test-armhf: an armhf program does not start by itself; qemu-arm must be" \
       "registered with binfmt_misc (scripts/setup-armhf.sh, as root)" >&2
  exit 1
fi
(cd "$dir" && ctest --output-on-failure -j "$jobs")

if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release \
    -DTELVARIN_SITE_DIR="$PWD/$native/box/usr/local/telvarinserver/" \
    -DTELVARIN_RUNTIME_DIR="$PWD/$native/box/usr/local/vorlund/" >/dev/null
fi
cmake --build "$native" -j "$jobs" --target TelvarinServer TelvarinInterface Sheetmaker trial-runtime
tests/armhf/compare-pages.sh "$native" "$dir"
