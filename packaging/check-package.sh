#!/usr/bin/env bash
# check-package.sh SOURCE_DIR BUILD_DIR [amd64|armhf]: builds the Debian
# package the way a real box gets it (scripts/package.sh: the real fixed
# directories; no root needed) for the architecture (default amd64) in
# BUILD_DIR and checks what it holds: the five files at their places with their
# modes, its architecture and that of the programs, the dependencies on the
# linked runtime libraries, the real fixed directories compiled into the
# programs, an install into a private root with its postinst, and the snippet
# as lighttpd reads it.
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
            usr/local/telvarinserver/Sheetmaker usr/local/telvarinserver/SiteCheck; do
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

# Install it into a private root (its own dpkg database; the dependencies are
# not there, so they are not checked here) and run its postinst. A package of
# another architecture than this machine's is let in for this check only.
root="$x/root"
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
touch "$root/var/lib/dpkg/status"
force=(--force-script-chrootless --force-depends --force-not-root)
[ "$arch" = "$(dpkg --print-architecture)" ] || force+=(--force-architecture)
dpkg --root="$root" "${force[@]}" -i "$deb" >/dev/null 2>&1 ||
  fail "dpkg -i into a private root failed"
[ -x "$root/var/www/html/telvarin/TelvarinServer.ccc" ] || fail "installed server missing"
if getent passwd www-data >/dev/null; then
  [ "$(stat -c %U "$root/usr/local/telvarinserver")" = www-data ] \
    || fail "postinst did not hand the site directory to www-data"
fi
# The snippet is a valid lighttpd configuration.
printf 'server.document-root = "%s"\nserver.port = 8080\ninclude "%s"\n' \
  "$root/var/www/html" "$root/etc/lighttpd/conf-available/50-telvarin.conf" > "$x/lighttpd.conf"
lighttpd -tt -f "$x/lighttpd.conf" || fail "lighttpd refuses the snippet"
echo "package contents OK"
