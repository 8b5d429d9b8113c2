#!/usr/bin/env bash
# screenshots.sh: refreshes the README's pictures, docs/login.png (the login
# page) and docs/page.png (a page of the sample site). Builds the "release"
# preset's programs, runs its browser test (tests/e2e/browser.js, which signs on
# and takes the screenshots in the build's e2e artifacts folder) and copies the
# two pictures. The tests themselves never write into the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh test

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" \
  --target TelvarinServer TelvarinInterface Sheetmaker SiteCheck trial-runtime
artifacts=build/release/tests/e2e/artifacts
rm -f "$artifacts/login.png" "$artifacts/page.png"
ctest --preset release -R '^e2e_browser$'
mkdir -p docs
cp "$artifacts/login.png" "$artifacts/page.png" docs/
echo "docs/login.png and docs/page.png refreshed"
