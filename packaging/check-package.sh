#!/usr/bin/env bash
# check-package.sh SOURCE_DIR BUILD_DIR [amd64|armhf]: builds the Debian
# package the way a real box gets it (scripts/package.sh: the real fixed
# directories; no root needed) for the architecture (default amd64) in
# BUILD_DIR and checks what it holds: the six files at their places with their
# modes, its architecture and that of the programs, the dependencies on the
# linked runtime libraries, the real fixed directories compiled into the
# programs, installs into private roots with the postinst (fresh: a new access
# file; upgrade or a box that has one: kept), and the snippet as lighttpd reads
# it. Then the whole life of a box in a private root with a stand-in lighttpd
# layout (conf-available, conf-enabled, a lighttpd.conf that includes
# conf-enabled/*.conf): install, enable, a local edit of the snippet (a
# conffile) kept on reinstall and on an upgrade to a second version (this
# package repacked), the site directory closed, remove (no link left to
# nothing; lighttpd -tt passes where lighttpd is installed), and purge (the
# package's own files go, a placed site stays).
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
# The snippet is a conffile: a local edit survives reinstalls and upgrades.
[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/lighttpd/conf-available/50-telvarin.conf ] \
  || fail "the conffiles are not the lighttpd snippet alone"
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
force=(--force-script-chrootless --force-depends --force-not-root --force-confdef --force-confold)
[ "$arch" = "$(dpkg --print-architecture)" ] || force+=(--force-architecture)
new_root() {  # DIR: an empty root with a dpkg database
  mkdir -p "$1/var/lib/dpkg/updates" "$1/var/lib/dpkg/info"
  touch "$1/var/lib/dpkg/status"
}
in_root() {  # ROOT dpkg-action...: dpkg in ROOT, its output in $x/dpkg.out
  local root=$1
  shift
  dpkg --root="$root" "${force[@]}" "$@" >"$x/dpkg.out" 2>&1 ||
    { cat "$x/dpkg.out" >&2; fail "dpkg $* in $root failed"; }
}
install_into() {  # ROOT [DEB]: dpkg -i
  in_root "$1" -i "${2:-$deb}"
}
root="$x/root"
new_root "$root"
install_into "$root"
[ -x "$root/var/www/html/telvarin/TelvarinServer.ccc" ] || fail "installed server missing"
site_dir=usr/local/telvarinserver
if getent passwd www-data >/dev/null; then
  [ "$(stat -c %U:%G "$root/$site_dir")" = www-data:www-data ] \
    || fail "postinst did not hand the site directory to www-data"
fi
[ "$(stat -c %a "$root/$site_dir")" = 750 ] || fail "the site directory is not mode 0750"

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

# The life of a box. Its lighttpd layout as Debian's lighttpd has it.
box="$x/box"
new_root "$box"
lconf=etc/lighttpd
mkdir -p "$box/$lconf/conf-available" "$box/$lconf/conf-enabled" "$box/var/www/html"
printf 'server.document-root = "%s"\nserver.port = 8080\ninclude "%s"\n' \
  "$box/var/www/html" "$box/$lconf/conf-enabled/*.conf" >"$box/$lconf/lighttpd.conf"
lighttpd_accepts_box() {
  if command -v lighttpd >/dev/null; then
    lighttpd -tt -f "$box/$lconf/lighttpd.conf" >"$x/lighttpd.out" 2>&1 ||
      { cat "$x/lighttpd.out" >&2; fail "lighttpd refuses the box's configuration $*"; }
  fi
}
lighttpd_accepts_box "before the install"
snippet=$lconf/conf-available/50-telvarin.conf
enabled=$lconf/conf-enabled/50-telvarin.conf
install_into "$box"
ln -s ../conf-available/50-telvarin.conf "$box/$enabled"  # as lighty-enable-mod does
lighttpd_accepts_box "with the module enabled"
grep -q 'telvarin' "$box/$lconf/conf-enabled/50-telvarin.conf" || fail "the enabled link reads nothing"
echo '# local edit: TLS' >>"$box/$snippet"
edited=$(cat "$box/$snippet")
box_code=$(cat "$box/$auth")
# A placed site (the administrator's) and what the programs made beside it,
# some of it readable by all, as an earlier version left it.
site_files="HAUS.TVS HAUS_Wohnen.SHT HAUS_WEBUSERS.USR HAUS123456789012345678192p168p1p5.SID HOSTNAMES.DAT"
own_files="HAUS.LCK HAUS.NRT HAUS.CMP SIGNONFAILS.DAT SIGNONFAILS.LCK LOGINWAIT.LCK LOGINWAIT1.LCK
           INTERFACEFAILS.DAT INTERFACEFAILS.LCK NOMULTICALL.DAT"
for f in $site_files $own_files; do printf 'x\n' >"$box/$site_dir/$f"; chmod 644 "$box/$site_dir/$f"; done
chmod 700 "$box/$site_dir"  # an administrator's stricter choice
expect_life() {  # WHEN: what a reinstall or an upgrade keeps
  [ "$(cat "$box/$snippet")" = "$edited" ] || fail "the local edit of the snippet is lost $1"
  [ -L "$box/$enabled" ] || fail "the module is no longer enabled $1"
  [ "$(cat "$box/$auth")" = "$box_code" ] || fail "the access file changed $1"
  [ "$(stat -c %a "$box/$site_dir")" = 700 ] || fail "the stricter mode of the site directory is lost $1"
  for f in $site_files $own_files; do
    [ -f "$box/$site_dir/$f" ] || fail "$f is gone $1"
  done
  for f in $own_files; do
    [ "$(stat -c %a "$box/$site_dir/$f")" = 600 ] || fail "$f is not made 0600 $1"
  done
  [ "$(stat -c %a "$box/$site_dir/HAUS_WEBUSERS.USR")" = 644 ] || fail "a site file's mode changed $1"
  lighttpd_accepts_box "$1"
}
install_into "$box"  # the same version again: apt install --reinstall
expect_life "on a reinstall"

# A second version: the same package with a higher version and another snippet.
v2="$x/v2"
dpkg-deb -R "$deb" "$v2"
version=$(dpkg-deb -f "$deb" Version)
sed -i "s/^Version: .*/Version: $version+check2/" "$v2/DEBIAN/control"
echo '# the second version' >>"$v2/$snippet"
(cd "$v2" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | xargs -0 md5sum >DEBIAN/md5sums)
dpkg-deb --root-owner-group -b "$v2" "$x/telvarin-v2.deb" >/dev/null
install_into "$box" "$x/telvarin-v2.deb"
[ "$(dpkg-query --root="$box" -W -f '${Version}' telvarin)" = "$version+check2" ] \
  || fail "the upgrade did not happen"
expect_life "on an upgrade"
[ -f "$box/$snippet.dpkg-dist" ] || fail "the upgrade did not leave its snippet beside the edited one"
# A box whose snippet was not edited takes the new one.
install_into "$root2" "$x/telvarin-v2.deb"
grep -qx '# the second version' "$root2/$snippet" || fail "an upgrade kept an unedited old snippet"
echo "reinstall and upgrade OK"

in_root "$box" -r telvarin
[ ! -e "$box/$enabled" ] && [ ! -L "$box/$enabled" ] || fail "the remove left the module enabled"
lighttpd_accepts_box "after the remove"
[ ! -e "$box/var/www/html/telvarin/TelvarinServer.ccc" ] || fail "the remove left the programs"
[ "$(cat "$box/$snippet")" = "$edited" ] || fail "the remove took the edited snippet"
[ "$(cat "$box/$auth")" = "$box_code" ] || fail "the remove took the access file"
for f in $site_files $own_files; do
  [ -f "$box/$site_dir/$f" ] || fail "the remove took $f"
done
# On the running system (no DPKG_ROOT) the remove reloads lighttpd when it
# runs, and a failed reload never fails the removal. Tried where the check may
# make a mount namespace: a stand-in conf-enabled and /run (systemd's mark), and
# a systemctl that logs its calls and answers as the case says.
if [ -d /etc/lighttpd/conf-enabled ] && unshare -m true 2>/dev/null; then
  fake="$x/reload"
  mkdir -p "$fake/bin" "$fake/enabled" "$fake/run/systemd/system"
  # is-active answer, reload answer, the calls expected, the removal's words
  for case in "0 0 is-active,reload," "0 1 is-active,reload, could not be reloaded" \
              "3 0 is-active,"; do
    read -r active reload calls words <<<"$case"
    printf '#!/bin/sh\necho "$1" >>%s/calls\n[ "$1" = is-active ] && exit %s\nexit %s\n' \
      "$fake" "$active" "$reload" >"$fake/bin/systemctl"
    chmod +x "$fake/bin/systemctl"
    rm -f "$fake/calls"
    ln -sfn ../conf-available/50-telvarin.conf "$fake/enabled/50-telvarin.conf"
    unshare -m sh -c 'mount --bind "$1/enabled" /etc/lighttpd/conf-enabled &&
                      mount --bind "$1/run" /run && PATH="$1/bin:$PATH" sh "$2" remove' \
      - "$fake" "$x/DEBIAN/postrm" >"$x/postrm.out" 2>&1 || fail "the remove failed ($case)"
    [ ! -L "$fake/enabled/50-telvarin.conf" ] || fail "the remove left the module enabled ($case)"
    [ "$(tr '\n' , <"$fake/calls")" = "$calls" ] || fail "lighttpd: $(cat "$fake/calls") ($case)"
    [ -z "$words" ] || grep -q "$words" "$x/postrm.out" || fail "the remove says nothing ($case)"
  done
  echo "reload on remove OK"
fi
echo "remove OK"
in_root "$box" -P telvarin
for f in $site_files; do
  [ -f "$box/$site_dir/$f" ] || fail "the purge took the site's $f"
done
for f in $own_files; do
  [ ! -e "$box/$site_dir/$f" ] || fail "the purge left $f"
done
[ ! -e "$box/$auth" ] || fail "the purge left the access file the install wrote"
[ ! -e "$box/$snippet" ] || fail "the purge left the snippet"
[ ! -e "$box/var/lib/telvarin" ] || fail "the purge left the package's state"
lighttpd_accepts_box "after the purge"
# An access file changed since the install, or one the install did not write,
# stays; a purge of an enabled module (no remove first) disables it.
printf 'Xgeaendert\n' >"$root2/$auth"
mkdir -p "$root2/$lconf/conf-enabled"
ln -s ../conf-available/50-telvarin.conf "$root2/$enabled"
in_root "$root2" -P telvarin
[ "$(cat "$root2/$auth")" = Xgeaendert ] || fail "the purge took a changed access file"
[ ! -L "$root2/$enabled" ] || fail "the purge left the module enabled"
in_root "$root3" -P telvarin
[ -f "$root3/$auth" ] || fail "the purge took an access file the install had not written"
echo "purge OK"
echo "package contents OK"
