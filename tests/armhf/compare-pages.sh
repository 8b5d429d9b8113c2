#!/usr/bin/env bash
# compare-pages.sh NATIVE_BUILD ARMHF_BUILD: renders the same requests with the
# native and the armhf build of the CGI programs and compares the answers byte
# for byte. Each build keeps its own compiled-in fixed directories; both get the
# sample site of demo/site/ and talk to one trial runtime (the native one, its
# drifting value held still), so every difference is the programs' own. The
# sign-on compiles the site with each build's own Sheetmaker; the compiled page
# files are compared too. The armhf programs run under qemu-arm through
# binfmt_misc (scripts/setup-armhf.sh registers it), also when TelvarinServer
# starts Sheetmaker.
set -uo pipefail
export LC_ALL=C
src=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "$1" && pwd)
armhf=$(cd "$2" && pwd)
source "$src/scripts/lib/box.sh"

tmp=$(mktemp -d)
runtime_pid=""
cleanup() { box_stop "$runtime_pid"; rm -rf "$tmp"; }
trap cleanup EXIT
passed=0
failed=0
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&2; }

site_native=$(box_cache_value "$native" TELVARIN_SITE_DIR)
site_armhf=$(box_cache_value "$armhf" TELVARIN_SITE_DIR)
runtime_native=$(box_cache_value "$native" TELVARIN_RUNTIME_DIR)
runtime_armhf=$(box_cache_value "$armhf" TELVARIN_RUNTIME_DIR)
# They are emptied below: only folders inside their own build folder.
inside() {  # BUILD DIR
  case "$2" in
    "$1"/?*) ;;
    *) echo "compare-pages: fixed directory '$2' lies outside its build folder $1" >&2; exit 1 ;;
  esac
}
inside "$native" "$site_native"
inside "$native" "$runtime_native"
inside "$armhf" "$site_armhf"
inside "$armhf" "$runtime_armhf"

# One trial runtime for both, without the drifting outside temperature.
grep -v '^DRIFT ' "$src/demo/project.txt" > "$tmp/project.txt"
box_start_runtime "$native/tools/trial-runtime/trial-runtime" "$tmp/project.txt" "$tmp/runtime" ||
  exit 1
runtime_pid=$BOX_RUNTIME_PID
af="$tmp/runtime/project.af"

# Each box: the sample site with an old time (so the first page compiles it),
# its own Sheetmaker, the runtime files naming the one runtime.
place_box() {  # BUILD SITE_DIR RUNTIME_DIR
  rm -rf "$2" "$3"
  box_place_site "$src/demo/site" "$2"
  cp "$1/sheetmaker/Sheetmaker" "$2"
  touch -d '-2 minutes' "$2"/*.TVS
  box_runtime_files "$3" "$BOX_RUNTIME_PORT" "$af"
}
place_box "$native" "$site_native" "$runtime_native"
place_box "$armhf" "$site_armhf" "$runtime_armhf"
touch "$af"

session_of() { grep -ao 'name="sid" value=[0-9]*' "$1" | head -1 | sed 's/.*value=//'; }

# The pages name the fixed directories in a few messages; each build's own are
# written as "<site>/" and "<runtime>/" before the comparison. The answers stay
# in ARMHF_BUILD/compare-pages/, numbered, to look at.
out="$armhf/compare-pages"
rm -rf "$out"
mkdir -p "$out"
count=0
keep() {  # DESCRIPTION: the last pair of answers, fixed directories replaced
  local b site runtime
  count=$((count + 1))
  for b in native armhf; do
    if [ $b = native ]; then site=$site_native runtime=$runtime_native
    else site=$site_armhf runtime=$runtime_armhf; fi
    sed -i -e "s|$site|<site>/|g" -e "s|$runtime|<runtime>/|g" "$tmp/$b.out"
    if [ -n "${NEW_SESSION:-}" ]; then  # a session of its own, numbered by the clock
      local sid
      sid=$(session_of "$tmp/$b.out")
      [ -n "$sid" ] && sed -i "s/\b$sid\b/<new session>/g" "$tmp/$b.out"
    fi
    cp "$tmp/$b.out" "$out/$(printf %02d $count)-$b.html"
  done
  echo "$(printf %02d $count) $1" >>"$out/index.txt"
}

# cgi BUILD PROGRAM NAME METHOD ADDR DATA: one CGI run; standard output into
# $tmp/NAME.out, standard error into $tmp/NAME.err, the exit status into
# $tmp/NAME.rc. DATA is the query (GET) or the body (POST).
cgi() {
  local build=$1 prog=$2 name=$3 method=$4 addr=$5 data=$6 bin
  case $prog in
    TelvarinServer) bin="$build/server/TelvarinServer" ;;
    TelvarinInterface) bin="$build/interface/TelvarinInterface" ;;
  esac
  if [ "$method" = GET ]; then
    env -i PATH="$PATH" REQUEST_METHOD=GET QUERY_STRING="$data" REMOTE_ADDR="$addr" \
      "$bin" </dev/null >"$tmp/$name.out" 2>"$tmp/$name.err"
  else
    printf '%s' "$data" | env -i PATH="$PATH" REQUEST_METHOD=POST QUERY_STRING= \
      CONTENT_LENGTH="${#data}" CONTENT_TYPE=application/x-www-form-urlencoded \
      REMOTE_ADDR="$addr" "$bin" >"$tmp/$name.out" 2>"$tmp/$name.err"
  fi
  echo $? >"$tmp/$name.rc"
}

# same DESCRIPTION PROGRAM METHOD ADDR DATA: the request against both builds,
# native first; both must exit 0, write nothing to standard error and give the
# same bytes.
same() {
  local what=$1 prog=$2 method=$3 addr=$4 data=$5 b ok=1
  cgi "$native" "$prog" native "$method" "$addr" "$data"
  cgi "$armhf" "$prog" armhf "$method" "$addr" "$data"
  keep "$what"
  for b in native armhf; do
    [ "$(cat "$tmp/$b.rc")" = 0 ] || { ok=0; fail "$what: $b exit status $(cat "$tmp/$b.rc")"; }
    [ -s "$tmp/$b.err" ] && { ok=0; fail "$what: $b wrote to standard error: $(head -c 400 "$tmp/$b.err")"; }
  done
  grep -aq '^Content-type: text/html' "$tmp/native.out" || { ok=0; fail "$what: no page"; }
  if ! cmp -s "$tmp/native.out" "$tmp/armhf.out"; then
    ok=0
    fail "$what: the pages differ"
    diff -a "$tmp/native.out" "$tmp/armhf.out" | head -20 >&2
  fi
  [ $ok = 1 ] && passed=$((passed + 1))
}

page() { echo "SP=TELVARINSERVER&sitename=$1&sid=$SID"; }
signon="SP=TELVARINSERVER&sitename=*&sid=xxx&signoncounter"
ip=127.0.0.1

same "login page" TelvarinServer GET $ip ""
same "wrong password" TelvarinServer POST $ip "$signon=1&User=demo&Passw=falsch&Signon=Anmelden"
same "ninth failed sign-on" TelvarinServer POST $ip "$signon=9&User=demo&Passw=falsch&Signon=Anmelden"

# The sign-on compiles the site (each box with its own Sheetmaker) and makes a
# session whose number is the second it began in: the armhf page's number is
# read and replaced by the native one, and the native session file is copied
# over, so that the following pages use the same number.
cgi "$native" TelvarinServer native POST $ip "$signon=1&User=demo&Passw=telvarin&Signon=Anmelden"
SID=$(session_of "$tmp/native.out")
cgi "$armhf" TelvarinServer armhf POST $ip "$signon=1&User=demo&Passw=telvarin&Signon=Anmelden"
SID_ARMHF=$(session_of "$tmp/armhf.out")
if [ -z "$SID" ] || [ -z "$SID_ARMHF" ]; then
  fail "sign-on gave no session (native '$SID', armhf '$SID_ARMHF')"
  head -c 2000 "$tmp/native.out" "$tmp/armhf.out" "$tmp/native.err" "$tmp/armhf.err" >&2
  echo "pages: $passed passed, $failed failed"
  exit 1
fi
sed -i "s/\b$SID_ARMHF\b/$SID/g" "$tmp/armhf.out"
keep "sign-on start page"
if cmp -s "$tmp/native.out" "$tmp/armhf.out" && [ ! -s "$tmp/native.err" ] && [ ! -s "$tmp/armhf.err" ]; then
  passed=$((passed + 1))
else
  fail "sign-on start page"
  diff -a "$tmp/native.out" "$tmp/armhf.out" | head -20 >&2
fi
rm -f "$site_armhf"*.SID
cp "$site_native"*.SID "$site_armhf"

# The compiled site: both Sheetmakers wrote the same files.
for f in "$site_native"*.SHT "$site_native"*.TVS; do
  name=$(basename "$f")
  if cmp -s "$f" "$site_armhf$name"; then
    passed=$((passed + 1))
  else
    fail "compiled $name differs"
    diff -a "$f" "$site_armhf$name" | head -10 >&2
  fi
done
grep -q '^OBJROW=LICHT_WOHNEN@Licht Wohnzimmer@1@' "${site_native}TELVARINSERVER_Wohnen.SHT" ||
  fail "the site was not compiled"

# Pages with live values, navigation and auto refresh.
for p in Wohnen Kueche Bad Aussen; do
  same "page $p" TelvarinServer GET $ip "$(page $p)"
done
grep -aq '<h1>Au&szlig;en</h1>' "$tmp/native.out" || fail "the pages show no site content"
NEW_SESSION=1 same "page of a free address without session" TelvarinServer GET 192.0.2.7 \
  "SP=TELVARINSERVER&sitename=Kueche&sid=0"
same "unknown page" TelvarinServer GET $ip "$(page Keller)"
same "invalid page name" TelvarinServer GET $ip "$(page ..%2FTELVARINSERVER)"

# Form posts, each sent by both builds: both see the runtime in the same state
# (the native write has happened; the armhf one writes the same again).
same "number changed" TelvarinServer POST $ip \
  "$(page Bad)&U4qAus=Aus&N11q23=23%2C5&OKButton=Neue+Werte+einstellen"
same "negative number, selection changed" TelvarinServer POST $ip \
  "$(page Wohnen)&U1qAus=Ein&N10q21k5=-3%2C25&OKButton=Neue+Werte+einstellen"
same "text with Latin-1 bytes" TelvarinServer POST $ip \
  "$(page Wohnen)&S20qTagbetrieb=Gr%FCn+%26+sch%F6n+%22a%22+%E4%DF%FF&OKButton=Neue+Werte+einstellen"
same "page after the text" TelvarinServer GET $ip "$(page Wohnen)"
same "number that is no number" TelvarinServer POST $ip \
  "$(page Kueche)&N12q20=zwanzig&OKButton=Neue+Werte+einstellen"
same "large number" TelvarinServer POST $ip \
  "$(page Kueche)&N12q20=2147483648123%2C987654&OKButton=Neue+Werte+einstellen"
same "page after the large number" TelvarinServer GET $ip "$(page Kueche)"
same "macro" TelvarinServer POST $ip "$(page Wohnen)&x2=ON&OKButton=Neue+Werte+einstellen"
same "broken escapes and high bytes in the query" TelvarinServer GET $ip \
  "$(page Bad)&%ZZ=%&%FF%80=%C3%BC"

# The administration interface.
same "admin VERSION" TelvarinInterface GET $ip "VERSION"
same "admin read" TelvarinInterface GET $ip "GETVARBYNAME1&SOLL_BAD"
same "admin read of the text" TelvarinInterface GET $ip "GETVARBYNAME1&MODUS"
same "admin write" TelvarinInterface GET $ip "SETVARBYNAME&SOLL_KUECHE=-12%2C5"
same "admin variable list" TelvarinInterface GET $ip "CREATEVARLIST&x"
same "admin unknown command" TelvarinInterface GET $ip "version"

# Sign-off; then the runtime is gone.
same "sign-off" TelvarinServer GET $ip "$(page signoff)"
same "signed-off session" TelvarinServer GET $ip "$(page Wohnen)"
box_stop "$runtime_pid"
runtime_pid=""
NEW_SESSION=1 same "page with the runtime down" TelvarinServer GET 192.0.2.7 "SP=TELVARINSERVER&sitename=Wohnen&sid=0"
same "admin read with the runtime down" TelvarinInterface GET $ip "GETVARBYNAME1&SOLL_BAD"

echo "pages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
