#!/usr/bin/env bash
# screenshots.sh: refreshes the README's pictures, docs/login.png (the login
# page), docs/page.png (a page of the sample site) and docs/live-before.png /
# docs/live-after.png (a page's values before and after the runtime changed
# them, updated in place). Builds the "release" preset's programs, runs its
# browser test (tests/e2e/browser.js, which signs on and takes the screenshots
# in the build's e2e artifacts folder) and copies the pictures. The tests
# themselves never write into the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh test

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" \
  --target TelvarinServer TelvarinInterface Sheetmaker SiteCheck PlaceSite trial-runtime
artifacts=build/release/tests/e2e/artifacts
pictures="login.png page.png live-before.png live-after.png"
for p in $pictures; do rm -f "$artifacts/$p"; done
ctest --preset release -R '^e2e_browser$'
mkdir -p docs
for p in $pictures; do cp "$artifacts/$p" docs/; done
echo "docs/: $pictures refreshed"
