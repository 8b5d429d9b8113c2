#!/usr/bin/env bash
# The load test, run by hand (not part of scripts/test.sh): installs what is
# missing, builds the "load" preset into build/load (or, with --sanitize, the
# AddressSanitizer and UndefinedBehaviorSanitizer build "load-sanitize" into
# build/load-sanitize), installs a box there like the demo (the sample site and
# project), starts the trial runtime and lighttpd on free
# ports of 127.0.0.1 and lets N clients sign on, view every page, send forms
# and sign off for S seconds; half way the runtime's project is renumbered so
# that a compile happens under load, and right after it renumbered again
# within that compile's second. Then it checks the responses, the site
# and session files, the runtime's call log and that no program process is
# left, and prints the counts (scripts/load_client.py). Exits non-zero with
# "FAIL:" lines when a check fails. Writes nothing outside its build folder.
#
#   scripts/load-test.sh [--seconds S] [--clients N] [--seed K] [--sanitize]
#                                        (default 30 s, 8 clients, seed: the time)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
clients=8
seed=$(date +%s)
preset=load
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    --seconds=*) seconds=${1#--seconds=}; shift ;;
    --clients) clients=${2:?--clients needs a number}; shift 2 ;;
    --clients=*) clients=${1#--clients=}; shift ;;
    --seed) seed=${2:?--seed needs a number}; shift 2 ;;
    --seed=*) seed=${1#--seed=}; shift ;;
    --sanitize) preset=load-sanitize; shift ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
  esac
done
for v in "$seconds" "$clients" "$seed"; do
  [[ $v =~ ^[0-9]+$ ]] || { echo "--seconds, --clients and --seed need numbers" >&2; exit 2; }
done
[ "$seconds" -ge 2 ] || { echo "--seconds must be 2 or more" >&2; exit 2; }
# Each client has its own loopback address 127.0.0.(11+i).
[ "$clients" -ge 1 ] && [ "$clients" -le 200 ] || { echo "--clients must be 1 to 200" >&2; exit 2; }

scripts/setup-debian.sh demo python3
source scripts/lib/box.sh

# A sanitizer's report goes to standard error, which lighttpd's error log
# collects; the client fails the run on any line there. Only what the box runs
# is built (the preset's targets; the fuzz programs are not needed).
BOX_JOBS=${LOAD_BUILD_JOBS:-2} box_build "$preset"
build=$BOX_BUILD
site_dir=$BOX_SITE_DIR
state="$build/run"

pids=()
stop_all() {
  local rc=$? pid
  trap - INT TERM EXIT
  box_stop "${pids[@]}"
  for pid in "${pids[@]}"; do
    if kill -0 "$pid" 2>/dev/null; then
      echo "FAIL: process $pid (lighttpd or the trial runtime) did not stop; killing it" >&2
      kill -KILL "$pid" 2>/dev/null || true
      rc=1
    fi
  done
  exit "$rc"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# A fresh box state: sessions, temporary files and logs of earlier runs go.
rm -rf "$state"
BOX_RUNTIME_PID=""
box_start_sample "$build" "$state" "$site_dir" "$BOX_RUNTIME_DIR" || { pids+=($BOX_RUNTIME_PID); exit 1; }
pids+=("$BOX_RUNTIME_PID")

box_serve "$state" "$BOX_CONF_DIR/50-telvarin.conf"
pids+=("$BOX_LIGHTTPD_PID")

/usr/bin/python3 scripts/load_client.py \
  --port "$BOX_HTTP_PORT" --path "${BOX_CGI_URL}TelvarinServer.ccc" \
  --site-dir "$site_dir" --demo-site demo/site --project "$build/project.txt" \
  --port-file "$state/runtime.port" --calls-log "$state/calls.log" \
  --ablkrn "$BOX_RUNTIME_DIR/ABLKRN.CFG" \
  --error-log "$state/lighttpd-error.log" --box "$BOX_DIR" \
  --runtime-pid "$BOX_RUNTIME_PID" --lighttpd-pid "$BOX_LIGHTTPD_PID" \
  --seconds "$seconds" --clients "$clients" --seed "$seed"
