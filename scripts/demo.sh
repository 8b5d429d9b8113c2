#!/usr/bin/env bash
# The main job: installs what is missing for it (scripts/setup-debian.sh demo:
# no browser, no Node), builds the "demo" preset into build/demo, installs a
# complete box into build/demo/box (the fixed directories, the CGI directory and
# lighttpd's conf-available all live there), places a site and its user file,
# starts the trial runtime on a project, compiles the site with Sheetmaker and
# serves it with lighttpd on 127.0.0.1. Ctrl-C stops everything it started. It
# writes nothing outside build/demo.
#
#   scripts/demo.sh [--port N] [--site DIR [--project FILE]]
#     --port N        lighttpd's port (default 8080)
#     --site DIR      preview your own site: the site definition files (*.TVS),
#                     page files (*.SHT) and user files (*.USR) in DIR; the
#                     site checker's findings are printed once it is placed
#                     and compiled; default the sample site demo/site/
#     --project FILE  the trial runtime's project (tools/trial-runtime/README.md
#                     has the format); default the sample demo/project.txt
set -euo pipefail
cd "$(dirname "$0")/.."

port=8080
site_src=demo/site
project=demo/project.txt
while [ $# -gt 0 ]; do
  case $1 in
    --port) port=${2:?--port needs a number}; shift 2 ;;
    --port=*) port=${1#--port=}; shift ;;
    --site) site_src=${2:?--site needs a folder}; shift 2 ;;
    --site=*) site_src=${1#--site=}; shift ;;
    --project) project=${2:?--project needs a file}; shift 2 ;;
    --project=*) project=${1#--project=}; shift ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
  esac
done
[[ $port =~ ^[0-9]+$ ]] || { echo "--port needs a number" >&2; exit 2; }
[ -d "$site_src" ] || { echo "--site: no folder $site_src" >&2; exit 2; }
[ -f "$project" ] || { echo "--project: no file $project" >&2; exit 2; }
site_src=$(cd "$site_src" && pwd)
project=$(cd "$(dirname "$project")" && pwd)/$(basename "$project")

scripts/setup-debian.sh demo
source scripts/lib/box.sh
sites=$(box_sites "$site_src")
[ -n "$sites" ] || { echo "--site: no site definition file (*.TVS) in $site_src" >&2; exit 2; }

box_build demo
state="$BOX_BUILD/run"

pids=()
stop_all() {
  trap - INT TERM EXIT
  box_stop "${pids[@]}"
  echo "Stopped."
}
trap stop_all EXIT
trap 'exit 130' INT TERM

BOX_RUNTIME_PID=""
if ! box_start_sample "$BOX_BUILD" "$state" "$BOX_SITE_DIR" "$BOX_RUNTIME_DIR" "$site_src" \
     "$project"; then
  pids+=($BOX_RUNTIME_PID)
  box_check_site "$site_src" "$project" || true
  exit 1
fi
pids+=("$BOX_RUNTIME_PID")
# The site checker's findings, on the placed and compiled copy (the same files
# and lines as in the folder, with the runtime's numbering filled in, so that
# what is left is the author's to mend). The preview goes on after errors too,
# so that the author sees what the box makes of the site.
box_check_site "$BOX_SITE_DIR" "$BOX_BUILD/project.txt" ||
  echo "(the site checker found errors; serving the site anyway)"

# The administration interface is closed, as on a fresh install: a random code
# in the access file (mode letter "K", then the code), kept between demo runs.
auth="${BOX_RUNTIME_DIR%/}/TELVARINSAUTH.DAT"
if [ ! -s "$auth" ]; then
  (umask 077; printf 'K%s\n' "$(LC_ALL=C tr -dc 'A-Za-z0-9' </dev/urandom | head -c 12)" >"$auth")
fi
admin_code=$(head -1 "$auth" | cut -c2-)

box_serve "$state" "$BOX_CONF_DIR/50-telvarin.conf" "$port"
pids+=("$BOX_LIGHTTPD_PID")

base="http://127.0.0.1:$port${BOX_CGI_URL}"
line() { printf '  %-17s%s\n' "$1" "$2"; }
echo
echo "Telvarin demo box is running."
echo
for name in $sites; do
  if [ "$name" = TELVARINSERVER ]; then
    line "Site:" "${base}TelvarinServer.ccc"
  else
    line "Site $name:" "${base}TelvarinServer.ccc?SP=$name"
  fi
done
if [ "$site_src" = "$PWD/demo/site" ]; then
  line "User / password:" "demo / telvarin"
else
  line "Users:" "the user files (*_WEBUSERS.USR) in $site_src"
fi
cat <<EOF
  Administration:  ${base}TelvarinInterface.ccc?VERSION&&$admin_code
                   (access code $admin_code, from $auth)
  Trial runtime:   xmlrpc://127.0.0.1:$BOX_RUNTIME_PORT (calls logged in $state/calls.log)
  Site files:      $BOX_SITE_DIR/

Edit $BOX_BUILD/project.txt and send the runtime SIGHUP (kill -HUP $BOX_RUNTIME_PID)
to reload it; the next page request then recompiles the site.
Ctrl-C stops everything.
EOF
wait -n || true
sleep 0.5  # Ctrl-C reaches the children too: let its trap run first
echo "A process of the box ended; stopping the rest." >&2
exit 1
