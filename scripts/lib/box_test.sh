#!/usr/bin/env bash
# box_test.sh: tests of scripts/lib/box.sh's guards, the ones that keep a box's
# scripts from writing where they must not or serving what they did not start:
# where a build installs (a build for the real box, or a folder next to the
# box, is refused), placing a site (a folder without a site definition file is
# refused; files of an earlier site do not linger), and lighttpd on a port
# another program holds (refused, nothing left running). Run by ctest
# (box_functions); needs lighttpd and python3.
set -uo pipefail
source "$(dirname "$0")/box.sh"
tmp=$(mktemp -d)
listener=""
trap 'box_stop $listener; rm -rf "$tmp"' EXIT
failed=0
check() {  # description, then a command that must succeed
  local what=$1; shift
  "$@" || { failed=$((failed + 1)); echo "FAIL: $what"; }
}
fails() { ! "$@"; }

# --- box_install_dirs: each row a CMake cache; the box is $tmp/b/box.
box="$tmp/b/box"
mkdir -p "$tmp/b"
cache() {  # CGI_DIR CONF_DIR SITE_DIR RUNTIME_DIR
  printf 'TELVARIN_CGI_DIR:STRING=%s\nTELVARIN_CGI_URL:STRING=/telvarin/\n' "$1"
  printf 'TELVARIN_LIGHTTPD_CONF_DIR:STRING=%s\n' "$2"
  printf 'TELVARIN_SITE_DIR:STRING=%s\nTELVARIN_RUNTIME_DIR:STRING=%s\n' "$3" "$4"
}
inside=("$box/var/www/html/telvarin/" "$box/etc/lighttpd/conf-available/"
        "$box/usr/local/telvarinserver/" "$box/usr/local/vorlund/")
while IFS='|' read -r expect what cgi conf site runtime; do
  cache "${cgi:-${inside[0]}}" "${conf:-${inside[1]}}" "${site:-${inside[2]}}" \
        "${runtime:-${inside[3]}}" > "$tmp/b/CMakeCache.txt"
  if box_install_dirs "$tmp/b" "$box" 2>/dev/null; then got=ok; else got=refused; fi
  check "box_install_dirs, $what: $got, expected $expect" [ "$got" = "$expect" ]
done <<EOF
ok|all inside the box||||
refused|CGI programs into the real web root|/var/www/html/telvarin/|||
refused|snippet into the real lighttpd folder||/etc/lighttpd/conf-available/||
refused|the real site directory|||/usr/local/telvarinserver/|
refused|the real runtime directory||||/usr/local/vorlund/
refused|a folder beside the box with the same start|${box}2/var/www/|||
refused|the box itself, not a folder in it|$box/|||
refused|a way out of the box through ..|$box/../../var/www/|||
EOF
cache "${inside[@]}" > "$tmp/b/CMakeCache.txt"
box_install_dirs "$tmp/b" "$box"
check "box_install_dirs: site directory without its final /" \
  [ "$BOX_SITE_DIR" = "$box/usr/local/telvarinserver" ]

# --- box_place_site
site="$tmp/site"
mkdir -p "$tmp/old" "$tmp/new" "$tmp/empty"
touch "$tmp/old/OLD.TVS" "$tmp/old/OLD_P.SHT" "$tmp/old/OLD_WEBUSERS.USR"
printf 'x\n' > "$tmp/new/HAUS.TVS"
touch "$tmp/new/HAUS_Flur.SHT" "$tmp/new/notes.txt"
box_place_site "$tmp/old" "$site"
touch "$site/OLD1127p0p0p1.SID" "$site/OLD.LCK" "$site/HAUS_Flur.SHT_\$" "$site/SIGNONFAILS.DAT"
check "box_place_site: a site without a user file" box_place_site "$tmp/new" "$site"
check "box_place_site: the earlier site's files, sessions, locks and records are gone" \
  [ "$(cd "$site" && echo *)" = "HAUS.TVS HAUS_Flur.SHT" ]
check "box_place_site: a folder without a site definition file is refused" \
  fails box_place_site "$tmp/empty" "$site" 2>/dev/null
check "box_sites: the site names" [ "$(box_sites "$tmp/new")" = HAUS ]

# --- box_serve on a port another program holds: refused, no lighttpd left.
snippet="$tmp/snippet.conf"
: > "$snippet"
python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(5)
print(s.getsockname()[1], flush=True); time.sleep(60)' > "$tmp/port" &
listener=$!
for i in $(seq 50); do [ -s "$tmp/port" ] && break; sleep 0.1; done
taken=$(cat "$tmp/port")
mkdir -p "$tmp/state"
BOX_LIGHTTPD_PID=""
check "box_serve: a taken port is refused" fails box_serve "$tmp/state" "$snippet" "$taken" 2>/dev/null
check "box_serve: no lighttpd left after the refusal" [ -z "$BOX_LIGHTTPD_PID" ]
# A free port is found and served.
if check "box_serve: a free port" box_serve "$tmp/state" "$snippet"; then
  check "box_serve: it answers on the port it reports" box_answers "$BOX_HTTP_PORT"
  check "box_serve: the port is not the taken one" [ "$BOX_HTTP_PORT" != "$taken" ]
  box_stop "$BOX_LIGHTTPD_PID"
fi

[ "$failed" -eq 0 ] || exit 1
echo "box functions: all checks passed"
