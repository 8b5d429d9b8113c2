#!/usr/bin/env bash
# The main job: installs what is missing, builds everything into build/demo and
# starts the trial runtime on the sample home project, with the box's fixed
# directories inside build/demo/box. Ctrl-C stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh

build="$PWD/build/demo"
box="$build/box"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DTELVARIN_SITE_DIR="$box/usr/local/telvarinserver/" \
  -DTELVARIN_RUNTIME_DIR="$box/usr/local/vorlund/" >/dev/null
cmake --build "$build" -j "$(nproc)"

mkdir -p "$box/usr/local/telvarinserver" "$box/usr/local/vorlund"
port=${TRIAL_PORT:-2110}
printf 'I127.0.0.1\nP%s\n' "$port" > "$box/usr/local/vorlund/CTLKRN.CFG"
cp demo/project.txt "$build/project.txt"

echo "Trial runtime on xmlrpc://127.0.0.1:$port with the sample project; Ctrl-C stops it."
exec "$build/tools/trial-runtime/trial-runtime" --project "$build/project.txt" \
  --ctl "$box/usr/local/vorlund/CTLKRN.CFG" --log "$build/calls.log" \
  --ablkrn "$box/usr/local/vorlund/ABLKRN.CFG" --af "$build/project.af"
