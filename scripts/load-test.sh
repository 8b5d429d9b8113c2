#!/usr/bin/env bash
# The load test, run by hand (not part of scripts/test.sh): installs what is
# missing, builds into build/load/release (or, with --sanitize, an
# AddressSanitizer and UndefinedBehaviorSanitizer build into
# build/load/sanitize), installs a box there like the demo (the
# sample site and project), starts the trial runtime and lighttpd on free
# ports of 127.0.0.1 and lets N clients sign on, view every page, send forms
# and sign off for S seconds; half way the runtime's project is renumbered so
# that a compile happens under load. Then it checks the responses, the site
# and session files, the runtime's call log and that no program process is
# left, and prints the counts (scripts/load_client.py). Exits non-zero with
# "FAIL:" lines when a check fails. Writes nothing outside build/load.
#
#   scripts/load-test.sh [--seconds S] [--clients N] [--seed K] [--sanitize]
#                                        (default 30 s, 8 clients, seed: the time)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
clients=8
seed=$(date +%s)
variant=release
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    --seconds=*) seconds=${1#--seconds=}; shift ;;
    --clients) clients=${2:?--clients needs a number}; shift 2 ;;
    --clients=*) clients=${1#--clients=}; shift ;;
    --seed) seed=${2:?--seed needs a number}; shift 2 ;;
    --seed=*) seed=${1#--seed=}; shift ;;
    --sanitize) variant=sanitize; shift ;;
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

scripts/setup-debian.sh
source demo/box.sh

build="$PWD/build/load/$variant"
box="$build/box"
site_dir="$box/usr/local/telvarinserver"
runtime_dir="$box/usr/local/vorlund"
state="$build/run"
build_options=(-DCMAKE_BUILD_TYPE=Release)
# A sanitizer's report goes to standard error, which lighttpd's error log
# collects; the client fails the run on any line there.
[ "$variant" = release ] || build_options=(-DCMAKE_BUILD_TYPE=Debug -DSANITIZE=address,undefined)
cmake -S . -B "$build" "${build_options[@]}" -DBUILD_TESTING=OFF \
  -DTELVARIN_SITE_DIR="$site_dir/" -DTELVARIN_RUNTIME_DIR="$runtime_dir/" >/dev/null
box_install_dirs "$build" "$box"  # before anything is installed
# Only what the box runs (the tree's other targets, the fuzz programs, are not needed).
cmake --build "$build" -j "${LOAD_BUILD_JOBS:-2}" \
  --target TelvarinServer TelvarinInterface Sheetmaker trial-runtime
cmake --install "$build" >/dev/null
cgi_url=$BOX_CGI_URL
conf_dir=$BOX_CONF_DIR

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
box_start_sample "$build" "$state" "$site_dir" "$runtime_dir" || { pids+=($BOX_RUNTIME_PID); exit 1; }
pids+=("$BOX_RUNTIME_PID")

# The free port can be taken between the look-up and lighttpd's bind: retry.
for attempt in 1 2 3; do
  port=$(box_free_port)
  box_lighttpd_conf "$state/lighttpd.conf" "$state" "$port" "$conf_dir/50-telvarin.conf"
  if box_start_lighttpd "$state/lighttpd.conf" "$state" "$port"; then
    pids+=("$BOX_LIGHTTPD_PID")
    break
  fi
  [ "$attempt" -lt 3 ] || exit 1
done

/usr/bin/python3 scripts/load_client.py \
  --port "$port" --path "${cgi_url}TelvarinServer.ccc" \
  --site-dir "$site_dir" --demo-site demo/site --project "$build/project.txt" \
  --port-file "$state/runtime.port" --calls-log "$state/calls.log" \
  --error-log "$state/lighttpd-error.log" --box "$box" \
  --runtime-pid "$BOX_RUNTIME_PID" --lighttpd-pid "$BOX_LIGHTTPD_PID" \
  --seconds "$seconds" --clients "$clients" --seed "$seed"
