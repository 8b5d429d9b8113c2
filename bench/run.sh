#!/usr/bin/env bash
# bench/run.sh: the benchmark, run by hand (never by ctest or scripts/test.sh).
# Installs what it needs, builds the "bench" preset with its own box in build/bench,
# starts the trial runtime and lighttpd on free loopback ports and measures,
# side by side with the same ~20 KB pages and the same runtime:
#   - TelvarinServer showing pages of 10, 50 and 200 object rows, started
#     directly (own fork/exec loop) and through lighttpd (wrk);
#   - the floors: bench/floor_cgi.cc making the same calls (checked against the
#     runtime's call log) and writing the same bytes (checked with cmp), in one
#     "system.multicall" (the floor of this design) and each on its own
#     connection (the floor of the design before it); the same without calls;
#     the page as a static file; the page as a Python CGI (bench/page_cgi.py);
#   - the previous release: TelvarinServer and Sheetmaker of the commit before
#     multicall reads (PREV_COMMIT), built into build/bench/prev with the same
#     fixed directories;
#   - Sheetmaker on a 1000-row site against the previous release's and the
#     same 1000 bare lookups (singly and in multicalls);
#   - the fallback: the runtime restarted with --no-multicall, TelvarinServer
#     (one call each on a kept connection) against the previous release;
#   - peak memory of each, and the four link choices of the programs.
# Prints each figure (median and spread) and the ratios against the aims, and
# writes them to build/bench/results.md (copy them into bench/RESULTS.md).
#
#   bench/run.sh [--passes N] [--wrk-seconds S] [--wrk-rounds R] [--no-links]
#     --passes N       direct runs of each command (default 60)
#     --wrk-seconds S  length of each wrk run (default 1)
#     --wrk-rounds R   wrk runs of each URL, interleaved (default 6)
#     --no-links       measure only the default link choice
set -euo pipefail
cd "$(dirname "$0")/.."

passes=60
wrk_seconds=1
wrk_rounds=6
links=1
while [ $# -gt 0 ]; do
  case $1 in
    --passes) passes=${2:?}; shift 2 ;;
    --wrk-seconds) wrk_seconds=${2:?}; shift 2 ;;
    --wrk-rounds) wrk_rounds=${2:?}; shift 2 ;;
    --no-links) links=0; shift ;;
    -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
    *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
  esac
done

# What the benchmark needs beyond the project's own packages. The machine may
# have another python3 first on PATH: everything here uses Debian's.
PY=/usr/bin/python3
PREV_COMMIT=5136860  # the last commit before a page's values were read in one multicall
scripts/setup-debian.sh demo wrk time curl python3
source scripts/lib/box.sh
export BOX_JOBS=2

build="$PWD/build/bench"
work="$build/work"
state="$work/run"

# --- The link choices: the same objects linked four ways (only a relink each).
rm -rf "$work"
mkdir -p "$work" "$state"
link_keys=()
if [ "$links" = 1 ]; then
  for choice in "a OFF OFF" "b ON OFF" "c OFF ON" "d ON ON"; do
    read -r key xmlrpc cxx <<<"$choice"
    box_configure bench -DTELVARIN_STATIC_XMLRPC=$xmlrpc -DTELVARIN_STATIC_LIBSTDCXX=$cxx
    cmake --build --preset bench -j "$BOX_JOBS" --target TelvarinServer floor_cgi >/dev/null
    mkdir -p "$work/link-$key"
    cp "$build/server/TelvarinServer" "$build/bench/floor_cgi" "$work/link-$key/"
    link_keys+=("$key")
  done
fi
# Back to the project's default choice for everything else (the box's folders
# are checked before installing).
box_build bench -UTELVARIN_STATIC_XMLRPC -UTELVARIN_STATIC_LIBSTDCXX >/dev/null
site_dir=$BOX_SITE_DIR
runtime_dir=$BOX_RUNTIME_DIR
cgi_dir=$BOX_CGI_DIR
conf_dir=$BOX_CONF_DIR
ts="$cgi_dir/TelvarinServer.ccc"

# --- The previous release, from the repository's history (git archive, so no
# checkout changes), built with the box's fixed directories and the same
# release options (that commit predates the presets).
prev_src="$build/prev-src"
prev_build="$build/prev"
if [ ! -f "$prev_src/.commit" ] || [ "$(cat "$prev_src/.commit")" != "$PREV_COMMIT" ]; then
  rm -rf "$prev_src" "$prev_build"
  mkdir -p "$prev_src"
  git archive "$PREV_COMMIT" | tar -x -C "$prev_src"
  echo "$PREV_COMMIT" > "$prev_src/.commit"
fi
cmake -S "$prev_src" -B "$prev_build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DTELVARIN_SITE_DIR="$site_dir/" -DTELVARIN_RUNTIME_DIR="$runtime_dir/" >/dev/null
cmake --build "$prev_build" -j "$BOX_JOBS" --target TelvarinServer Sheetmaker >/dev/null
prev_ts="$cgi_dir/TelvarinServerPrev.ccc"
cp "$prev_build/server/TelvarinServer" "$prev_ts"
cp "$prev_build/sheetmaker/Sheetmaker" "$work/SheetmakerPrev"
default_xmlrpc=$(box_cache_value "$build" TELVARIN_STATIC_XMLRPC)
default_cxx=$(box_cache_value "$build" TELVARIN_STATIC_LIBSTDCXX)

# --- The box: runtime, site, session, lighttpd.
pids=()
stop_all() {
  trap - INT TERM EXIT
  box_stop "${pids[@]}"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

$PY bench/make_site.py "$work"
mkdir -p "$site_dir" "$runtime_dir"
# --close: the runtime closes each connection after its answer, so the
# TIME_WAIT of the thousands of connections a second stays on its side and the
# callers' ports are free again at once (see the wrk runs below).
box_start_runtime "$build/tools/trial-runtime/trial-runtime" "$work/project.txt" "$state" \
  --ablkrn "$runtime_dir/ABLKRN.CFG" --af "$work/project.af" --close
pids+=("$BOX_RUNTIME_PID")
box_runtime_files "$runtime_dir" "$BOX_RUNTIME_PORT" "$work/project.af"
log="$state/calls.log"

sid=123456789012345678  # a session id has 18 digits
place_site() {
  rm -f "$site_dir"/BENCH* "$site_dir"/SMK* "$site_dir"/NOMULTICALL.DAT
  cp "$work"/site/* "$site_dir"/
  # A session for 127.0.0.1 (the file's existence is the session).
  echo "01.01.2024/00:00:00;bench" > "$site_dir/BENCH${sid}127p0p0p1.SID"
  "$site_dir/Sheetmaker" BENCH
}
cgi_env() {  # N: the environment of a page request for page P<N>
  echo "REQUEST_METHOD=GET QUERY_STRING=SP=BENCH&sitename=P$1&sid=$sid REMOTE_ADDR=127.0.0.1"
}
render() {  # N OUT [PROGRAM]: TelvarinServer's page P<N>, its calls logged alone
  : > "$log"
  env -i $(cgi_env "$1") "${3:-$ts}" > "$2"
}
place_site
# Pad the smaller pages with HTML blocks to the size of the 200-row page.
for n in 10 50 200; do render $n "$work/page$n.out"; done
BENCH_PADDING=$($PY bench/measure.py padding "$work") $PY bench/make_site.py "$work"
place_site

# --- The pages and the plans of the floor, checked call for call.
plan_from_log() {  # LOG: the plan lines of the calls in LOG
  $PY bench/measure.py plan "$1"
}
for n in 10 50 200; do
  render $n "$work/page$n.out"
  cp "$log" "$work/calls-ts$n.log"
  { echo "127.0.0.1 $BOX_RUNTIME_PORT"; plan_from_log "$log"; } > "$cgi_dir/bench-$n.plan"
  { echo "127.0.0.1 $BOX_RUNTIME_PORT multicall"; plan_from_log "$log"; } > "$cgi_dir/bench-mc$n.plan"
  cp "$work/page$n.out" "$cgi_dir/bench-$n.page"
  cp "$work/page$n.out" "$cgi_dir/bench-mc$n.page"
  # The previous release: the same calls; its bytes may differ where this
  # release changed the page (they are counted, not compared).
  render $n "$work/prev$n.out" "$prev_ts"
  cmp -s "$log" "$work/calls-ts$n.log" || { echo "previous release $n: other calls" >&2; exit 1; }
  cmp -s "$work/prev$n.out" "$work/page$n.out" ||
    echo "page P$n: the previous release writes $(wc -c < "$work/prev$n.out") bytes (this one $(wc -c < "$work/page$n.out"))"
done
echo "127.0.0.1 $BOX_RUNTIME_PORT" > "$cgi_dir/bench-0.plan"
cp "$work/page50.out" "$cgi_dir/bench-0.page"
mkdir -p "$state/www"
tail -n +3 "$work/page50.out" > "$state/www/page50.html"   # the body, without the CGI header
cp "$build/bench/floor_cgi" "$cgi_dir/floor.ccc"
cp bench/page_cgi.py "$cgi_dir/page.ccc"
chmod 755 "$cgi_dir/floor.ccc" "$cgi_dir/page.ccc"
for n in 10 50 200; do
  for run in floor:$n floor:mc$n page:$n; do
    prog=${run%%:*} query=${run#*:}
    : > "$log"
    env -i QUERY_STRING=$query "$cgi_dir/$prog.ccc" > "$work/$prog$query.out"
    cmp -s "$work/$prog$query.out" "$work/page$n.out" || { echo "$prog.ccc $query: other bytes" >&2; exit 1; }
    cmp -s "$log" "$work/calls-ts$n.log" || { echo "$prog.ccc $query: other calls" >&2; exit 1; }
  done
  echo "page P$n: $(wc -c < "$work/page$n.out") bytes, $(wc -l < "$work/calls-ts$n.log") calls; floors (single, multicall) and Python page: same bytes, same calls"
done
# The compiler: Sheetmaker's calls for the 1000-row site, then the same as bare lookups.
: > "$log"
"$site_dir/Sheetmaker" SMK
cp "$log" "$work/calls-smk.log"
{ echo "127.0.0.1 $BOX_RUNTIME_PORT"; plan_from_log "$log"; } > "$work/bench-smk.plan"
{ echo "127.0.0.1 $BOX_RUNTIME_PORT multicall"; plan_from_log "$log"; } > "$work/bench-smkmc.plan"
cp "$build/bench/floor_cgi" "$work/lookups"
for plan in smk smkmc; do
  : > "$log"
  "$work/lookups" $plan
  cmp -s "$log" "$work/calls-smk.log" || { echo "bare lookups $plan: other calls" >&2; exit 1; }
done
: > "$log"
"$work/SheetmakerPrev" SMK
cmp -s "$log" "$work/calls-smk.log" || { echo "previous Sheetmaker: other calls" >&2; exit 1; }
echo "Sheetmaker SMK: $(wc -l < "$work/calls-smk.log") calls; bare lookups (single, multicall) and the previous Sheetmaker: same calls"
for key in "${link_keys[@]}"; do
  cp "$cgi_dir"/bench-50.plan "$cgi_dir"/bench-50.page "$cgi_dir"/bench-0.plan \
     "$cgi_dir"/bench-0.page "$work/link-$key/"
done

# --- lighttpd
box_serve "$state" "$conf_dir/50-telvarin.conf"
pids+=("$BOX_LIGHTTPD_PID")
base="http://127.0.0.1:$BOX_HTTP_PORT"
curl -s "$base/telvarin/TelvarinServer.ccc?SP=BENCH&sitename=P50&sid=$sid" > "$work/lighttpd50.out"
cmp -s <(tail -n +3 "$work/page50.out") "$work/lighttpd50.out" \
  || { echo "lighttpd: TelvarinServer's page differs" >&2; exit 1; }

# --- Measure. The runtime's call log stays on (it costs all programs alike).
{
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cpu: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores"
  echo "kernel: $(uname -r); Debian $(cat /etc/debian_version)"
  echo "compiler: $(c++ --version | head -1)"
  echo "link choice of the programs: TELVARIN_STATIC_XMLRPC=$default_xmlrpc TELVARIN_STATIC_LIBSTDCXX=$default_cxx"
  echo "load before: $(uptime)"
} > "$work/machine.txt"

$PY bench/measure.py commands "$work" "$ts" "$cgi_dir" "$site_dir" "$sid" "${link_keys[@]}" \
  > "$work/commands.json"
echo "measuring: $passes interleaved passes of $(grep -o '"name"' "$work/commands.json" | wc -l) programs started directly..."
$PY bench/measure.py direct "$work/commands.json" "$work/direct.json" "$passes"

cat > "$work/wrk.lua" <<'EOF'
done = function(summary, latency, requests)
  local e = summary.errors
  io.write(string.format("WRK %d %d %d %d %d %d\n", summary.requests,
    e.connect + e.read + e.write + e.status + e.timeout,
    latency:percentile(25), latency:percentile(50), latency:percentile(75), summary.bytes))
end
EOF
# Each call is a new connection, and the side that closes first keeps its port
# in TIME_WAIT for a minute. The runtime closes first here (--close above); were
# it the callers, thousands of calls a second would fill the loopback's port
# range and every connect would pay for finding a port. Still, the programs
# compared with each other run back to back, in the other order every round
# (ABBA), and the runs are short, so that both meet the same conditions.
url_of() {  # NAME: the path of one measured page
  case $1 in
    ts*|fb-ts*) echo "/telvarin/TelvarinServer.ccc?SP=BENCH&sitename=P${1##*ts}&sid=$sid" ;;
    prev*|fb-prev*) echo "/telvarin/TelvarinServerPrev.ccc?SP=BENCH&sitename=P${1##*prev}&sid=$sid" ;;
    mc*) echo "/telvarin/floor.ccc?$1" ;;
    floor*) echo "/telvarin/floor.ccc?${1#floor}" ;;
    py*) echo "/telvarin/page.ccc?${1#py}" ;;
    static) echo "/page50.html" ;;
  esac
}
time_wait() {  # the callers' connections to the runtime in TIME_WAIT
  ss -H -t state time-wait "( dport = :$BOX_RUNTIME_PORT )" | wc -l
}
echo "measuring: $wrk_rounds rounds of ${wrk_seconds}s wrk runs through lighttpd, pairs in ABBA order..."
echo "callers' sockets in TIME_WAIT before the wrk runs: $(time_wait)" >> "$work/machine.txt"
: > "$work/wrk.tsv"
for round in $(seq "$wrk_rounds"); do
  names=()
  for n in 10 50 200; do
    if [ $((round % 2)) -eq 1 ]; then names+=("ts$n" "mc$n" "prev$n" "floor$n");
    else names+=("floor$n" "prev$n" "mc$n" "ts$n"); fi
  done
  names+=(floor0 static py10 py50 py200)
  for name in "${names[@]}"; do
    wrk -t1 -c1 -d"${wrk_seconds}s" -s "$work/wrk.lua" "$base$(url_of "$name")" \
      | $PY bench/measure.py wrk-line "$name" >> "$work/wrk.tsv"
  done
done
echo "callers' sockets in TIME_WAIT after the wrk runs: $(time_wait)" >> "$work/machine.txt"

# A page with the stamp of its site's compile taken out of its form's address.
unstamped() { sed 's/?ST=[0-9-]*"/?ST="/' "$1"; }

# --- The fallback: the same runtime restarted with --no-multicall. The first
# page asks for multicall once and leaves the marker; the pages are the same
# bytes with the same calls.
box_stop "$BOX_RUNTIME_PID"
box_start_runtime "$build/tools/trial-runtime/trial-runtime" "$work/project.txt" "$state" \
  --ablkrn "$runtime_dir/ABLKRN.CFG" --af "$work/project.af" --close --no-multicall
pids+=("$BOX_RUNTIME_PID")
box_runtime_files "$runtime_dir" "$BOX_RUNTIME_PORT" "$work/project.af"
"$site_dir/Sheetmaker" BENCH
for n in 10 50 200; do
  render $n "$work/fb$n.out"
  grep -v '^system.multicall$' "$log" > "$work/calls-fb$n.log" || true
  # The compile above renewed the site's stamp in the form's address: the rest
  # of the page is the same bytes.
  cmp -s <(unstamped "$work/fb$n.out") <(unstamped "$work/page$n.out") ||
    { echo "fallback $n: other bytes" >&2; exit 1; }
  cmp -s "$work/calls-fb$n.log" "$work/calls-ts$n.log" || { echo "fallback $n: other calls" >&2; exit 1; }
done
[ -s "$site_dir/NOMULTICALL.DAT" ] || { echo "fallback: no marker written" >&2; exit 1; }
echo "fallback: same bytes, same calls; marker $(cat "$site_dir/NOMULTICALL.DAT")"
$PY bench/measure.py fallback-commands "$ts" "$prev_ts" "$sid" > "$work/commands-fb.json"
echo "measuring the fallback: $passes interleaved passes, then wrk..."
$PY bench/measure.py direct "$work/commands-fb.json" "$work/direct-fb.json" "$passes"
for round in $(seq "$wrk_rounds"); do
  names=()
  for n in 10 50 200; do
    if [ $((round % 2)) -eq 1 ]; then names+=("fb-ts$n" "fb-prev$n"); else names+=("fb-prev$n" "fb-ts$n"); fi
  done
  for name in "${names[@]}"; do
    wrk -t1 -c1 -d"${wrk_seconds}s" -s "$work/wrk.lua" "$base$(url_of "$name")" \
      | $PY bench/measure.py wrk-line "$name" >> "$work/wrk.tsv"
  done
done
echo "load after: $(uptime)" >> "$work/machine.txt"

# What each link choice still loads at run time.
printf '[' > "$work/links.json"
sep=""
for key in "${link_keys[@]}"; do
  case $key in
    a) label="(a) shared libflxmlrpc, shared libstdc++" ;;
    b) label="(b) static libflxmlrpc.a" ;;
    c) label="(c) -static-libstdc++ -static-libgcc" ;;
    d) label="(d) both" ;;
  esac
  needed=$(readelf -d "$work/link-$key/TelvarinServer" | sed -n 's/.*NEEDED.*\[\(.*\)\]/\1/p' | paste -sd' ')
  printf '%s{"key":"%s","label":"%s","needed":"%s"}' "$sep" "$key" "$label" "$needed" >> "$work/links.json"
  sep=","
done
printf ']\n' >> "$work/links.json"

echo
$PY bench/measure.py report "$work/direct.json,$work/direct-fb.json" "$work/wrk.tsv" "$work/links.json" \
  "$work/machine.txt" "$build/results.md"
echo
echo "Figures written to build/bench/results.md"
