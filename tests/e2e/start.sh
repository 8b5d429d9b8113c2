#!/usr/bin/env bash
# start.sh ENV_FILE: the end-to-end fixture's setup. Installs the test build
# into its box, then starts the trial runtime (kernel-chosen port) and lighttpd
# (a free port on 127.0.0.1) in the background and records their ports and
# process ids in the state folder for the tests and for stop.sh.
set -euo pipefail
set -a; source "$1"; set +a
source "$E2E_SOURCE/scripts/lib/box.sh"

# Leftovers of an earlier run that was not cleaned up.
if [ -f "$E2E_STATE/pids" ]; then
  while read -r pid; do kill "$pid" 2>/dev/null || true; done < "$E2E_STATE/pids"
fi
rm -rf "$E2E_STATE"
mkdir -p "$E2E_STATE" "$E2E_ARTIFACTS"

cmake --install "$E2E_BUILD" >/dev/null
cp "$E2E_SOURCE/demo/project.txt" "$E2E_STATE/project.txt"
: > "$E2E_STATE/project.af"
box_start_runtime "$E2E_RUNTIME_BIN" "$E2E_STATE/project.txt" "$E2E_STATE" \
  --ablkrn "$E2E_STATE/ABLKRN.CFG" --af "$E2E_STATE/project.af"
echo "$BOX_RUNTIME_PID" >> "$E2E_STATE/pids"

box_serve "$E2E_STATE" "${E2E_CONF_DIR}50-telvarin.conf"
echo "$BOX_LIGHTTPD_PID" >> "$E2E_STATE/pids"

cat > "$E2E_STATE/ports" <<EOT
RUNTIME_PORT=$BOX_RUNTIME_PORT
RUNTIME_PID=$BOX_RUNTIME_PID
HTTP_PORT=$BOX_HTTP_PORT
BASE_URL=http://127.0.0.1:$BOX_HTTP_PORT$E2E_CGI_URL
EOT
cat "$E2E_STATE/ports"
