#!/usr/bin/env bash
# check-package.sh SOURCE_DIR BUILD_DIR [amd64|armhf]: builds the Debian
# package the way a real box gets it (scripts/package.sh: the real fixed
# directories; no root needed) for the architecture (default amd64) in
# BUILD_DIR and checks what it holds: the six files at their places with their
# modes, its architecture and that of the programs, the dependencies on the
# linked runtime libraries, the real fixed directories compiled into the
# programs, installs into private roots with the postinst (fresh: a new access
# file; upgrade or a box that has one: kept), and the snippet as lighttpd reads it.
set -euo pipefail
src=$1
build=$2
arch=${3:-amd64}
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$("$src/scripts/package.sh" "$arch" "$build" | tail -n 1)
[ -f "$deb" ] || fail "no package built in $build"
echo "package: $deb"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "Architecture is not $arch"

listing=$(dpkg-deb -c "$deb")
echo "$listing"
expect_file() {  # mode pattern, path
  grep -Eq "^$1 .* \./${2#/}\$" <<<"$listing" || fail "$2 missing or not $1"
}
expect_file '-rwxr-xr-x' /usr/local/telvarinserver/Sheetmaker
expect_file '-rwxr-xr-x' /usr/local/telvarinserver/SiteCheck
expect_file '-rwxr-xr-x' /usr/local/telvarinserver/PlaceSite
expect_file '-rwxr-xr-x' /var/www/html/telvarin/TelvarinServer.ccc
expect_file '-rwxr-xr-x' /var/www/html/telvarin/TelvarinInterface.ccc
expect_file '-rw-r--r--' /etc/lighttpd/conf-available/50-telvarin.conf
# Nothing may land in the runtime's directory or in the tree of the build.
if grep -Eq '\./usr/local/vorlund/.|/(build|work|tmp)/' <<<"$listing"; then
  fail "unexpected file in the package"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# A library linked statically (TELVARIN_STATIC_XMLRPC, TELVARIN_STATIC_LIBSTDCXX)
# must not be a dependency; a shared one must.
depends_on() { tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -qxF "$1"; }
linked_static() { grep -q "^$1:BOOL=ON\$" "$build/CMakeCache.txt"; }
depends_on libc6 || fail "Depends lacks libc6"
for pair in TELVARIN_STATIC_XMLRPC:libflxmlrpc1 TELVARIN_STATIC_LIBSTDCXX:libstdc++6 \
            TELVARIN_STATIC_LIBSTDCXX:libgcc-s1; do
  option=${pair%%:*} lib=${pair#*:}
  if linked_static "$option"; then
    ! depends_on "$lib" || fail "Depends has $lib, linked statically ($option)"
  elif [ "$lib" != libgcc-s1 ]; then
    depends_on "$lib" || fail "Depends lacks $lib"
  fi
done

x=$(mktemp -d)
trap 'rm -rf "$x"' EXIT
dpkg-deb -x "$deb" "$x"
dpkg-deb -e "$deb" "$x/DEBIAN"
case $arch in
  amd64) machine='Advanced Micro Devices X86-64' ;;
  armhf) machine='ARM' ;;
esac
for prog in var/www/html/telvarin/TelvarinServer.ccc var/www/html/telvarin/TelvarinInterface.ccc \
            usr/local/telvarinserver/Sheetmaker usr/local/telvarinserver/SiteCheck \
            usr/local/telvarinserver/PlaceSite; do
  readelf -h "$x/$prog" | grep -Eq "Machine: +$machine\$" || fail "$prog is not built for $arch"
  # The compiler may share string tails, so look for the common part, and for
  # no sign of a test or demo box.
  grep -aq '/usr/local/' "$x/$prog" || fail "$prog lacks the fixed directories"
  ! grep -aq '/box/usr/local/' "$x/$prog" || fail "$prog was built for a box, not the real directories"
done
grep -aq '/usr/local/telvarinserver/' "$x/var/www/html/telvarin/TelvarinServer.ccc" \
  || fail "TelvarinServer.ccc lacks the site directory"
conf="$x/etc/lighttpd/conf-available/50-telvarin.conf"
grep -q '"/telvarin/" => "/var/www/html/telvarin/"' "$conf" || fail "snippet does not map /telvarin/"
grep -q 'cgi.assign = ( ".ccc" => "" )' "$conf" || fail "snippet does not run .ccc directly"
grep -q 'server.stream-response-body = 2' "$conf" || fail "snippet does not stream CGI responses"

# Install it into a private root (its own dpkg database; the dependencies are
# not there, so they are not checked here) and run its postinst. A package of
# another architecture than this machine's is let in for this check only.
force=(--force-script-chrootless --force-depends --force-not-root)
[ "$arch" = "$(dpkg --print-architecture)" ] || force+=(--force-architecture)
new_root() {  # DIR: an empty root with a dpkg database
  mkdir -p "$1/var/lib/dpkg/updates" "$1/var/lib/dpkg/info"
  touch "$1/var/lib/dpkg/status"
}
install_into() {  # ROOT: dpkg -i, its output in $x/dpkg.out
  dpkg --root="$1" "${force[@]}" -i "$deb" >"$x/dpkg.out" 2>&1 ||
    { cat "$x/dpkg.out" >&2; fail "dpkg -i into $1 failed"; }
}
root="$x/root"
new_root "$root"
install_into "$root"
[ -x "$root/var/www/html/telvarin/TelvarinServer.ccc" ] || fail "installed server missing"
if getent passwd www-data >/dev/null; then
  [ "$(stat -c %U "$root/usr/local/telvarinserver")" = www-data ] \
    || fail "postinst did not hand the site directory to www-data"
fi

# A fresh install closes the administration interface: an access file with a
# random code, for the web server's user alone, and a word on where it is.
auth=usr/local/vorlund/TELVARINSAUTH.DAT
[ -f "$root/$auth" ] || fail "a fresh install made no access file"
grep -qxE 'K[A-Za-z0-9]{12}' "$root/$auth" && [ "$(wc -l <"$root/$auth")" = 1 ] \
  || fail "the access file is not one line of a mode letter and 12 characters"
[ "$(stat -c %a "$root/$auth")" = 600 ] || fail "the access file is not mode 0600"
if getent passwd www-data >/dev/null; then
  [ "$(stat -c %U "$root/$auth")" = www-data ] || fail "the access file is not www-data's"
fi
grep -q "/$auth" "$x/dpkg.out" || fail "the install does not say where the access code is"
first_code=$(cat "$root/$auth")
root2="$x/root2"
new_root "$root2"
install_into "$root2"
[ "$(cat "$root2/$auth")" != "$first_code" ] || fail "two installs got the same access code"
# An upgrade keeps what the box has: a code set since, or no access file at all.
printf 'Xmein-code\n' >"$root/$auth"
install_into "$root"
[ "$(cat "$root/$auth")" = "Xmein-code" ] || fail "an upgrade replaced the access file"
rm "$root/$auth"
install_into "$root"
[ ! -e "$root/$auth" ] || fail "an upgrade created an access file"
# A fresh install on a box that already has an access file keeps it.
root3="$x/root3"
new_root "$root3"
mkdir -p "$root3/usr/local/vorlund"
printf '\n' >"$root3/$auth"
install_into "$root3"
[ "$(cat "$root3/$auth")" = "" ] || fail "a fresh install replaced an existing access file"
echo "access file on install and upgrade OK"
# The snippet is a valid lighttpd configuration.
printf 'server.document-root = "%s"\nserver.port = 8080\ninclude "%s"\n' \
  "$root/var/www/html" "$root/etc/lighttpd/conf-available/50-telvarin.conf" > "$x/lighttpd.conf"
lighttpd -tt -f "$x/lighttpd.conf" || fail "lighttpd refuses the snippet"
echo "package contents OK"
