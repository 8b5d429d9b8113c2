#!/usr/bin/env bash
# The main job: installs what is missing, builds into build/demo, installs a
# complete box into build/demo/box (the fixed directories, the CGI directory
# and lighttpd's conf-available all live there), places the sample site
# (demo/site/) and its user file, starts the trial runtime on the sample home
# project (demo/project.txt), compiles the site with Sheetmaker and serves it
# with lighttpd on 127.0.0.1. Ctrl-C stops everything it started. It writes
# nothing outside build/demo.
#
#   scripts/demo.sh [--port N]     (default 8080)
set -euo pipefail
cd "$(dirname "$0")/.."

port=8080
while [ $# -gt 0 ]; do
  case $1 in
    --port) port=${2:?--port needs a number}; shift 2 ;;
    --port=*) port=${1#--port=}; shift ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
  esac
done
[[ $port =~ ^[0-9]+$ ]] || { echo "--port needs a number" >&2; exit 2; }

scripts/setup-debian.sh
source demo/box.sh

build="$PWD/build/demo"
box="$build/box"
site_dir="$box/usr/local/telvarinserver"
runtime_dir="$box/usr/local/vorlund"
state="$build/run"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DTELVARIN_SITE_DIR="$site_dir/" -DTELVARIN_RUNTIME_DIR="$runtime_dir/" >/dev/null
box_install_dirs "$build" "$box"  # before anything is installed
cmake --build "$build" -j "$(nproc)"
cmake --install "$build" >/dev/null
conf_dir=$BOX_CONF_DIR

pids=()
stop_all() {
  trap - INT TERM EXIT
  box_stop "${pids[@]}"
  echo "Stopped."
}
trap stop_all EXIT
trap 'exit 130' INT TERM

BOX_RUNTIME_PID=""
box_start_sample "$build" "$state" "$site_dir" "$runtime_dir" || { pids+=($BOX_RUNTIME_PID); exit 1; }
pids+=("$BOX_RUNTIME_PID")

# The administration interface is closed, as on a fresh install: a random code
# in the access file (mode letter "K", then the code), kept between demo runs.
auth="$runtime_dir/TELVARINSAUTH.DAT"
if [ ! -s "$auth" ]; then
  (umask 077; printf 'K%s\n' "$(LC_ALL=C tr -dc 'A-Za-z0-9' </dev/urandom | head -c 12)" >"$auth")
fi
admin_code=$(head -1 "$auth" | cut -c2-)

box_lighttpd_conf "$state/lighttpd.conf" "$state" "$port" \
  "$conf_dir/50-telvarin.conf"
box_start_lighttpd "$state/lighttpd.conf" "$state" "$port"
pids+=("$BOX_LIGHTTPD_PID")

url="http://127.0.0.1:$port/telvarin/TelvarinServer.ccc"
cat <<EOF

Telvarin demo box is running.

  Site:            $url
  User / password: demo / telvarin
  Administration:  http://127.0.0.1:$port/telvarin/TelvarinInterface.ccc?VERSION&&$admin_code
                   (access code $admin_code, from $auth)
  Trial runtime:   xmlrpc://127.0.0.1:$BOX_RUNTIME_PORT (calls logged in $state/calls.log)
  Site files:      $site_dir/

Edit $build/project.txt and send the runtime SIGHUP (kill -HUP $BOX_RUNTIME_PID)
to reload it; the next page request then recompiles the site.
Ctrl-C stops everything.
EOF
wait -n || true
sleep 0.5  # Ctrl-C reaches the children too: let its trap run first
echo "A process of the box ended; stopping the rest." >&2
exit 1
