#!/usr/bin/env bash
# prepare.sh ENV_FILE: run by every end-to-end test before it starts (the
# program tests empty the fixed directories between tests). Re-installs the
# build into its box (Sheetmaker lives in the site directory), places the
# sample site with an old modification time, writes the runtime's control
# files and has the trial runtime reload its project, which renews the AF
# file: so the first page request finds the site out of date and the server
# compiles it with Sheetmaker.
set -euo pipefail
set -a; source "$1"; source "$E2E_STATE/ports"; set +a
source "$E2E_SOURCE/scripts/lib/box.sh"

cmake --install "$E2E_BUILD" >/dev/null
box_place_site "$E2E_SOURCE/demo/site" "$E2E_SITE_DIR"
rm -f "${E2E_RUNTIME_DIR}TELVARINSAUTH.DAT" "${E2E_SITE_DIR}SIGNONFAILS.DAT"
touch -d '-2 minutes' "$E2E_SITE_DIR"/*.TVS
box_runtime_files "$E2E_RUNTIME_DIR" "$RUNTIME_PORT" "$E2E_STATE/project.af"
# An old AF time first, so that the runtime's touch shows once the reload is done.
touch -d '-1 hour' "$E2E_STATE/project.af"
old=$(stat -c %Y "$E2E_STATE/project.af")
kill -HUP "$RUNTIME_PID"
for i in $(seq 50); do
  [ "$(stat -c %Y "$E2E_STATE/project.af")" != "$old" ] && break
  sleep 0.1
done
[ "$(stat -c %Y "$E2E_STATE/project.af")" != "$old" ] || { echo "the trial runtime did not reload" >&2; exit 1; }
