#!/usr/bin/env bash
# curl.sh ENV_FILE: end-to-end requests through lighttpd to the installed CGI
# programs: the login page, a failed and a good sign-on (which has the server
# compile the site with Sheetmaker first), pages with live values and
# navigation, a form post (and the same form from another site or for another
# host name, which writes nothing), sign-off, an invalid session, the sign-on error page, the
# administration interface's commands with the trial runtime's call log, and
# the login page's first part arriving before its time lock ends.
set -uo pipefail
export LC_ALL=C
env_file=$1
set -a; source "$env_file"; source "$E2E_STATE/ports"; set +a
bash "$E2E_SOURCE/tests/e2e/prepare.sh" "$env_file" || exit 1

server="${BASE_URL}TelvarinServer.ccc"
admin="${BASE_URL}TelvarinInterface.ccc"
log="$E2E_STATE/calls.log"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0

check() {  # description, then a command that must succeed
  local what=$1; shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $what" >&2
  fi
}
has() { grep -aqF -- "$1" "$tmp/body"; }
lacks() { ! grep -aqF -- "$1" "$tmp/body"; }
get() {  # URL [CURL OPTIONS...]: status line, headers and body into $tmp
  curl -s -D "$tmp/head" -o "$tmp/body" "${@:2}" "$1"
}
post() {  # URL BODY [CURL OPTIONS...]
  curl -s -D "$tmp/head" -o "$tmp/body" --data-binary "$2" "${@:3}" "$1"
}
status_ok() { head -1 "$tmp/head" | grep -q ' 200'; }
html_type() { grep -aiq '^content-type: text/html' "$tmp/head"; }
log_lines() { tail -c +$(( $1 + 1 )) "$log"; }   # calls after byte offset
log_size() { stat -c %s "$log"; }
show() { echo "---- $1:"; cat "$tmp/body"; echo "----"; }

# The login page of the default site.
get "$server"
check "login page answers 200 text/html" status_ok
check "login page content type" html_type
check "login page title" has "<title>Telvarin-Server Anmeldung</title>"
check "login page heading from AUTHMSG" has "Telvarin Demo-Haus"
check "login page first attempt" has '<input type=hidden name="signoncounter" value="1">'
check "login page site field" has '<input type=hidden name="SP" value="TELVARINSERVER">'

# A wrong password: the login page again, second attempt.
post "$server" "SP=TELVARINSERVER&sitename=*&sid=xxx&signoncounter=1&User=demo&Passw=falsch&Signon=Anmelden"
check "wrong password gives attempt 2" has "2. Versuch"
check "wrong password shows the red message" has "Benutzer oder Kennwort ist ung&uuml;ltig"
check "no session file after a failed sign-on" bash -c "! ls '$E2E_SITE_DIR'*.SID 2>/dev/null | grep -q ."

# The good sign-on: the start page, compiled first.
post "$server" "SP=TELVARINSERVER&sitename=*&sid=xxx&signoncounter=1&User=demo&Passw=telvarin&Signon=Anmelden"
check "sign-on shows the start page" has "<title>Wohnen</title>"
check "start page heading" has "<h1>Wohnzimmer</h1>"
sid=$(grep -ao '<input type="hidden" name="sid" value=[^>]*>' "$tmp/body" | head -1 | sed 's/.*value=\([^>]*\)>/\1/')
check "start page carries a session id ($sid)" bash -c "[[ '$sid' =~ ^[0-9]+\$ ]]"
check "session file created" bash -c "ls '$E2E_SITE_DIR'TELVARINSERVER${sid}127p0p0p1.SID >/dev/null"
check "Sheetmaker filled the indices" grep -q '^OBJROW=LICHT_WOHNEN@Licht Wohnzimmer@1@@1@U@' "${E2E_SITE_DIR}TELVARINSERVER_Wohnen.SHT"
check "Sheetmaker filled the macro index" grep -q '^MACRO=NACHTMODUS@Nachtmodus@2$' "${E2E_SITE_DIR}TELVARINSERVER_Wohnen.SHT"
check "live selection value" has "<option selected>Aus</option>"
check "live number in the value cell" has ">21,5</td>"
check "number input named by index and value" has "name=N10q21k5 "
check "text input keeps the quotes" has 'value="Tagbetrieb"'
check "no invalid index" lacks "ltiger Index"
check "no unavailable value" lacks "Wert nicht verf"
check "macro rows" has '<input type=CHECKBOX name="x2" value=ON >&nbsp;Nachtmodus&nbsp;'
check "HTML block with live values" bash -c "grep -aqE 'gerade -?[0-9]+(,[0-9]+)? &deg;C, drinnen 20,8 &deg;C' '$tmp/body'"
check "navigation link" has "<a href=\"TelvarinServer.ccc?SP=TELVARINSERVER&sitename=Kueche&sid=$sid\">K&uuml;che</a>"
check "sign-off link" has "sitename=signoff&sid=$sid \">Abmelden</a>"
[ "$failed" -eq 0 ] || show "start page"

# Another page through its navigation link, and the page with auto refresh.
get "$server?SP=TELVARINSERVER&sitename=Kueche&sid=$sid"
check "navigation to the kitchen" has "<h1>K&uuml;che</h1>"
check "kitchen light on" has "<option selected>Ein</option>"
get "$server?SP=TELVARINSERVER&sitename=Aussen&sid=$sid"
check "auto refresh script" has 'setInterval("refresh()",5000)'
check "auto refresh target" has "TelvarinServer.ccc?SP=TELVARINSERVER&sitename=Aussen&sid=$sid'"
get "$server?SP=TELVARINSERVER&sitename=Bad&sid=$sid"
check "read-only row in the input column shows the value" bash -c "grep -aqE '<td class=valcs width=110>-?[0-9]+(,[0-9]+)?</td>' '$tmp/body'"

# A form post with one changed number: exactly one write.
before=$(log_size)
post "$server" "SP=TELVARINSERVER&sitename=Bad&sid=$sid&U4qAus=Aus&N11q23=23%2C5&OKButton=Neue+Werte+einstellen"
check "page shown again after the post" has "<h1>Bad</h1>"
check "one write for the changed number" bash -c "[ \"\$(tail -c +$((before + 1)) '$log' | grep -a '^setvarbyidx')\" = \"$(printf 'setvarbyidx\t11=23,5')\" ]"
check "new value shown" has "name=N11q23k5 "
check "the form's address carries the site's stamp" bash -c "grep -aqE 'action=\"TelvarinServer.ccc\\?ST=[0-9]+-[0-9]+-[0-9]+\"' '$tmp/body'"

# The same form sent from another site's page: nothing is written.
form="SP=TELVARINSERVER&sitename=Bad&sid=$sid&N11q23k5=19&x1=ON&OKButton=Neue+Werte+einstellen"
before=$(log_size)
post "$server" "$form" -H 'Sec-Fetch-Site: cross-site'
check "cross-site form: the page again" has "<h1>Bad</h1>"
post "$server" "$form" -H 'Origin: http://elsewhere.example'
check "form from another origin: the page again" has "<h1>Bad</h1>"
check "no write or macro start from another site" bash -c "! tail -c +$((before + 1)) '$log' | grep -aqE '^(setvarbyidx|startmacroidx)'"

# Another name for the box (a rebinding page's): the error page, nothing else.
before=$(log_size)
post "$server" "$form" -H 'Host: evil.example:8080'
check "unlisted Host: the error page with the name" has "Fehler - unbekannter Servername: evil.example"
check "unlisted Host: no page" lacks "<h1>Bad</h1>"
get "$admin?SETVARBYNAME&SOLL_BAD=30" -H 'Host: evil.example'
check "unlisted Host: no administration command" lacks "RESULT->"
check "unlisted Host: no runtime call" bash -c "[ \"\$(tail -c +$((before + 1)) '$log' | wc -c)\" -eq 0 ]"

# Sign-off, then the same session is invalid.
get "$server?SP=TELVARINSERVER&sitename=signoff&sid=$sid"
check "sign-off page" has $'Abmeldung durchgef\xFChrt'
check "session file removed" bash -c "! ls '$E2E_SITE_DIR'TELVARINSERVER${sid}127p0p0p1.SID 2>/dev/null"
get "$server?SP=TELVARINSERVER&sitename=Wohnen&sid=$sid"
check "signed-off session meets the login page" has "<title>Telvarin-Server Anmeldung</title>"
get "$server?SP=TELVARINSERVER&sitename=Wohnen&sid=123456"
check "unknown session meets the login page" has "<title>Telvarin-Server Anmeldung</title>"
check "unknown session: no page content" lacks "Wohnzimmer</h1>"

# The ninth failed attempt gets the error page (no time lock there).
post "$server" "SP=TELVARINSERVER&sitename=*&sid=xxx&signoncounter=9&User=demo&Passw=falsch&Signon=Anmelden"
check "error page from the ninth attempt" has $'Fehler - Ung\xFCltige Anmeldung'

# Administration interface.
get "$admin?VERSION"
check "admin VERSION" has "RESULT->1.1 - 101130"
check "admin answers text/html" html_type
policy="default-src 'none'; form-action 'none'; base-uri 'none'; frame-ancestors 'none'"
check "admin pages run no script, send no form, sit in no frame" \
  grep -aiq "^Content-Security-Policy: $policy"$'\r'"\$" "$tmp/head"
get "$admin?version"
check "admin unknown command" has "ERROR INVALID CALL:version"
get "$admin?GETVARBYNAME1&SOLL_BAD"
check "admin GETVARBYNAME1" bash -c "grep -aq 'RESULT->.*23,5' '$tmp/body'"
before=$(log_size)
get "$admin?SETVARBYNAME&SOLL_BAD=24"
check "admin SETVARBYNAME" has "RESULT->OK"
check "SETVARBYNAME reached the runtime" bash -c "tail -c +$((before + 1)) '$log' | grep -aqx $'setvarbyname\tSOLL_BAD=24'"
get "$admin?GETVARBYNAME1&SOLL_BAD"
check "admin reads the new value" bash -c "grep -aq 'RESULT->.*24' '$tmp/body'"
before=$(log_size)
get "$admin?STARTMACRO&2"
check "admin STARTMACRO" has "RESULT->OK"
check "STARTMACRO reached the runtime" bash -c "tail -c +$((before + 1)) '$log' | grep -aqx $'startmacroidx\t2'"
get "$admin?CREATEVARLIST&x"
check "admin CREATEVARLIST gives a data page" has "RESULT->"
before=$(log_size)
get "$admin?WORKFILES&del&/web/x.txt"
check "admin WORKFILES page" has $'Datei gel\xF6scht'
check "admin WORKFILES directory" has "servmain.ccc?HTM=Workfiles.cls&path=/web'"
check "WORKFILES reached the runtime" bash -c "tail -c +$((before + 1)) '$log' | grep -aqx $'workfile\tdel\t/web/x.txt'"
# A mode letter alone would read back as no code: refused.
get "$admin?SETAUTH&X"
check "SETAUTH refuses a mode letter alone" has "RESULT->ERROR"
# SETAUTH writes the first line of the access file: mode letter X (a fixed
# code), code 4711.
get "$admin?SETAUTH&X4711"
check "admin SETAUTH" has "RESULT->OK"
get "$admin?VERSION"
check "access code now needed" has "ERROR AUTH FAILED"
get "$admin?VERSION&&X4711"
check "the mode letter is not part of the code" has "ERROR AUTH FAILED"
get "$admin?VERSION&&4711"
check "the right access code passes" has "RESULT->1.1 - 101130"
get "$admin?SETAUTH&&4711"
check "SETAUTH with an empty text clears the code" has "RESULT->OK"
get "$admin?VERSION"
check "no access code after clearing" has "RESULT->1.1 - 101130"

# The posted counter sets the number shown, never a wait.
rm -f "$tmp/body"
curl -s -N --max-time 4 -o "$tmp/body" "$server?SP=TELVARINSERVER&sitename=*&sid=&signoncounter=8"
check "a posted last attempt shows 9" has "9. Versuch"
check "a posted last attempt parks nothing" has "</html>"

# The time lock of attempt 4 (16 s) that the box's record calls for after the
# address's third failure: the page up to "Zeitsperre" arrives while the
# server still waits; the client gives up after 4 s.
for try in 1 2 3; do
  rm -f "$tmp/body"
  curl -s -N --max-time 4 -o "$tmp/body" --data-binary \
    "SP=TELVARINSERVER&sitename=*&sid=xxx&signoncounter=1&User=niemand&Passw=falsch&Signon=Anmelden" \
    "$server"
  has "Zeitsperre" && break
done
check "attempt 4 shows its number before the wait ends" has "4. Versuch"
check "attempt 4: Zeitsperre before the wait ends" has "Zeitsperre"
check "attempt 4: the rest only after the wait" lacks "</html>"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
