#!/usr/bin/env bash
# Installs, on a Debian machine, every package that building and testing need,
# and the packages named as arguments (the benchmark's tools).
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libflxmlrpc-dev          # the XML-RPC library (XmlRpc++ fork)
  googletest libgtest-dev  # unit and program tests
  lighttpd curl            # the demo's and the end-to-end tests' web server
  python3                  # the load test's clients (scripts/load_client.py)
  chromium                 # the end-to-end tests' browser (driven by playwright-core)
)
# Node and npm drive the browser test; a machine that has node already (from
# any source) keeps it, since Debian's npm conflicts with other node packages.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
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

# The browser test's npm package (playwright-core, which downloads no browser).
e2e="$(dirname "$0")/../tests/e2e"
want=$(cd "$e2e" && node -p 'require("./package.json").dependencies["playwright-core"]')
have=$(cd "$e2e" && node -p 'try { require("./node_modules/playwright-core/package.json").version } catch (e) { "" }')
if [ "$want" != "$have" ]; then
  (cd "$e2e" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
