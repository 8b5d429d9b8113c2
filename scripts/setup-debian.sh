#!/usr/bin/env bash
# Installs, on a Debian machine, what is missing for one use, and the packages
# named after it (the load test's and the benchmark's tools).
#
#   scripts/setup-debian.sh demo [PACKAGE...]   building and serving a box: the
#       compiler, CMake, pkg-config, the XML-RPC library, lighttpd
#   scripts/setup-debian.sh test [PACKAGE...]   the demo's packages and the
#       tests': GoogleTest, curl, python3, clang with its fuzzer runtime,
#       Chromium, Node/npm and the browser test's npm package (playwright-core).
#       The armhf job's packages are scripts/setup-armhf.sh's.
#
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

use=${1:-}
case $use in
  demo|test) shift ;;
  *) echo "usage: $0 demo|test [PACKAGE...]" >&2; exit 2 ;;
esac

packages=(
  build-essential cmake pkg-config
  libflxmlrpc-dev          # the XML-RPC library (XmlRpc++ fork)
  lighttpd                 # the web server of the demo and the end-to-end tests
)
if [ "$use" = test ]; then
  packages+=(
    googletest libgtest-dev  # unit and program tests
    curl                     # the end-to-end tests' and the page comparison's requests
    python3                  # the load test's clients (scripts/load_client.py)
    clang libclang-rt-dev    # the fuzz targets (libFuzzer, scripts/fuzz.sh)
    chromium                 # the end-to-end tests' browser (driven by playwright-core)
  )
  # Node and npm drive the browser test; a machine that has node already (from
  # any source) keeps it, since Debian's npm conflicts with other node packages.
  command -v node >/dev/null || packages+=(nodejs)
  command -v npm >/dev/null || packages+=(npm)
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "$use" = test ] || exit 0
# The browser test's npm package (playwright-core, which downloads no browser).
e2e="$(dirname "$0")/../tests/e2e"
want=$(cd "$e2e" && node -p 'require("./package.json").dependencies["playwright-core"]')
have=$(cd "$e2e" && node -p 'try { require("./node_modules/playwright-core/package.json").version } catch (e) { "" }')
if [ "$want" != "$have" ]; then
  (cd "$e2e" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
