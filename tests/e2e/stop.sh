#!/usr/bin/env bash
# stop.sh ENV_FILE: the end-to-end fixture's cleanup. Stops the trial runtime
# and lighttpd that start.sh started, then fails when a CGI run under
# lighttpd reported a sanitizer error or leak into lighttpd's error log (the
# CGI programs' standard error goes there).
set -euo pipefail
set -a; source "$1"; set +a
if [ -f "$E2E_STATE/pids" ]; then
  while read -r pid; do kill "$pid" 2>/dev/null || true; done < "$E2E_STATE/pids"
  rm -f "$E2E_STATE/pids"
fi
log="$E2E_STATE/lighttpd-error.log"
if [ -f "$log" ] && grep -aE 'Sanitizer|runtime error:' "$log"; then
  echo "FAIL: a CGI program reported a sanitizer error (see $log)" >&2
  exit 1
fi
echo "stopped"
