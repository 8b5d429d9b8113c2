# scripts/lib/box.sh: shell functions (sourced, not run) that bring up a box
# inside the build tree: a preset's build configured, built and installed into
# its own box folder, a site placed in the site directory, the runtime's control
# files, the trial runtime, and lighttpd on 127.0.0.1 with a configuration
# written into the build tree. Used by scripts/demo.sh, scripts/load-test.sh,
# bench/run.sh, tests/e2e/ and tests/armhf/compare-pages.sh. Nothing here
# writes outside the folders it is given.

# The repository this file belongs to (the demo's site and project live there).
BOX_SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# A TCP port on 127.0.0.1 that is free now: the kernel picks it when python3
# or node is there (the lean demo machine may have neither); otherwise a random
# port of the dynamic range that nothing answers on. Either can be taken before
# the caller binds it, so callers retry (box_serve).
box_free_port() {
  if command -v python3 >/dev/null; then
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
  elif command -v node >/dev/null; then
    node -e 'const s=require("net").createServer();s.listen(0,"127.0.0.1",()=>{console.log(s.address().port);s.close()})'
  else
    local port i
    for i in $(seq 20); do
      port=$((49152 + RANDOM % 16000))
      box_answers "$port" || { echo "$port"; return 0; }
    done
    return 1
  fi
}

# box_answers PORT: whether something accepts connections on 127.0.0.1:PORT
# (bash's /dev/tcp; no curl needed).
box_answers() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# box_cache_value BUILD VARIABLE: a value from the build's CMake cache.
box_cache_value() {
  sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

# box_install_dirs BUILD BOX: where `cmake --install BUILD` puts the CGI
# programs and the lighttpd snippet, and the fixed directories compiled in.
# Sets BOX_CGI_DIR, BOX_CGI_URL, BOX_CONF_DIR, BOX_SITE_DIR and BOX_RUNTIME_DIR
# (the last two without their final "/"); fails when any of them lies outside
# BOX (a build configured for a real box). Call it before installing.
box_install_dirs() {
  local build=$1 box=$2
  BOX_CGI_DIR=$(box_cache_value "$build" TELVARIN_CGI_DIR)
  BOX_CGI_URL=$(box_cache_value "$build" TELVARIN_CGI_URL)
  BOX_CONF_DIR=$(box_cache_value "$build" TELVARIN_LIGHTTPD_CONF_DIR)
  BOX_SITE_DIR=$(box_cache_value "$build" TELVARIN_SITE_DIR)
  BOX_RUNTIME_DIR=$(box_cache_value "$build" TELVARIN_RUNTIME_DIR)
  BOX_SITE_DIR=${BOX_SITE_DIR%/} BOX_RUNTIME_DIR=${BOX_RUNTIME_DIR%/}
  local dir
  for dir in "$BOX_CGI_DIR" "$BOX_CONF_DIR" "$BOX_SITE_DIR" "$BOX_RUNTIME_DIR"; do
    # A folder in the box, and no ".." that leads out of it again.
    case $dir in
      */../*|*/..) ;;
      "$box"/?*) continue ;;
    esac
    echo "$build installs outside its box $box ($dir); remove $build" >&2
    return 1
  done
}

# box_configure PRESET [cmake arguments...]: configures the build of a preset of
# CMakePresets.json (build/PRESET, its fixed directories in build/PRESET/box)
# and checks where it installs (box_install_dirs). Sets BOX_BUILD and BOX_DIR.
box_configure() {
  local preset=$1
  shift
  BOX_BUILD="$BOX_SOURCE/build/$preset"
  BOX_DIR="$BOX_BUILD/box"
  (cd "$BOX_SOURCE" && cmake --preset "$preset" "$@" >/dev/null) || return 1
  box_install_dirs "$BOX_BUILD" "$BOX_DIR"
}

# box_build PRESET [cmake arguments...]: box_configure, then builds the targets
# of the preset's build preset (BOX_JOBS jobs, default all cores) and installs
# the build into its box. Sets what box_configure and box_install_dirs set.
box_build() {
  box_configure "$@" || return 1
  (cd "$BOX_SOURCE" && cmake --build --preset "$1" -j "${BOX_JOBS:-$(nproc)}") || return 1
  cmake --install "$BOX_BUILD" >/dev/null
}

# box_place_site SOURCE_DIR SITE_DIR: copies the site definition, page and user
# files of SOURCE_DIR into SITE_DIR in place of those of earlier runs, and
# removes their sessions, lock and temporary files and the failure records
# (an earlier run's slips would otherwise still count for 15 minutes). Fails when SOURCE_DIR has no site definition file.
box_place_site() {
  local src=$1 site=$2 file found=0
  mkdir -p "$site" || return 1
  rm -f "$site"/*.SID "$site"/*.LCK "$site"/*_\$ "$site"/*.TVS "$site"/*.SHT "$site"/*.USR \
    "$site"/SIGNONFAILS.DAT "$site"/INTERFACEFAILS.DAT
  for file in "$src"/*.TVS "$src"/*.SHT "$src"/*.USR; do
    [ -f "$file" ] || continue
    case $file in *.TVS) found=1 ;; esac
    cp "$file" "$site"/ || return 1
  done
  [ "$found" = 1 ] || { echo "no site definition file (*.TVS) in $src" >&2; return 1; }
}

# box_sites DIR: the names of the sites defined in DIR (each NAME.TVS), one a line.
box_sites() {
  local file
  for file in "$1"/*.TVS; do
    [ -f "$file" ] && basename "$file" .TVS
  done
}

# box_runtime_files RUNTIME_DIR PORT AF_FILE: the runtime's control file (its
# address) and configuration file (the "AF=" line naming its project's file).
box_runtime_files() {
  local dir=$1 port=$2 af=$3
  mkdir -p "$dir"
  printf 'I127.0.0.1\nP%s\n' "$port" > "$dir/CTLKRN.CFG"
  printf 'AF=%s\n' "$af" > "$dir/ABLKRN.CFG"
  [ -e "$af" ] || : > "$af"
}

# box_start_runtime BINARY PROJECT STATE_DIR [options...]: starts the trial
# runtime on 127.0.0.1 and a kernel-chosen port, logging its calls to
# STATE_DIR/calls.log. Sets BOX_RUNTIME_PID and BOX_RUNTIME_PORT.
box_start_runtime() {
  local bin=$1 project=$2 state=$3
  shift 3
  mkdir -p "$state"
  rm -f "$state/runtime.port"
  "$bin" --project "$project" --port 0 --port-file "$state/runtime.port" \
    --log "$state/calls.log" "$@" >"$state/runtime.out" 2>&1 &
  BOX_RUNTIME_PID=$!
  local i
  for i in $(seq 100); do
    if [ -s "$state/runtime.port" ]; then
      BOX_RUNTIME_PORT=$(tr -dc 0-9 < "$state/runtime.port")
      [ -n "$BOX_RUNTIME_PORT" ] && return 0
    fi
    kill -0 "$BOX_RUNTIME_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "the trial runtime did not start; see $state/runtime.out" >&2
  cat "$state/runtime.out" >&2 || true
  return 1
}

# box_lighttpd_conf CONF STATE_DIR PORT SNIPPET: a lighttpd configuration for
# 127.0.0.1:PORT that serves the box through its installed snippet. Logs and
# request bodies stay in STATE_DIR; the document root holds one page that
# leads to the sign-on page.
box_lighttpd_conf() {
  local conf=$1 state=$2 port=$3 snippet=$4
  mkdir -p "$state/www" "$state/uploads"
  cat > "$state/www/index.html" <<'EOF'
<html><head><meta http-equiv="refresh" content="0; url=/telvarin/TelvarinServer.ccc"></head>
<body><a href="/telvarin/TelvarinServer.ccc">Telvarin</a></body></html>
EOF
  cat > "$conf" <<EOF
# Written by scripts/lib/box.sh: lighttpd for a box in the build tree, as the current
# user (no server.username, started with -D).
server.modules = ( "mod_indexfile" )
server.document-root = "$state/www"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$state/lighttpd-error.log"
server.upload-dirs = ( "$state/uploads" )
index-file.names = ( "index.html" )
mimetype.assign = ( ".html" => "text/html" )
include "$snippet"
# Last, as in Debian's lighttpd.conf: the snippet's mod_cgi must see the
# request before static files are served.
server.modules += ( "mod_staticfile" )
EOF
}

# box_start_lighttpd CONF STATE_DIR PORT: starts lighttpd in the foreground
# mode (-D) as a child and waits until it answers. Fails at once when something
# else answers on PORT already. Sets BOX_LIGHTTPD_PID.
box_start_lighttpd() {
  local conf=$1 state=$2 port=$3 lighttpd
  lighttpd=$(command -v lighttpd || echo /usr/sbin/lighttpd)
  "$lighttpd" -tt -f "$conf" >/dev/null || return 1
  if box_answers "$port"; then
    echo "127.0.0.1:$port is taken by another program" >&2
    return 1
  fi
  "$lighttpd" -D -f "$conf" >"$state/lighttpd.out" 2>&1 &
  BOX_LIGHTTPD_PID=$!
  local i
  for i in $(seq 100); do
    kill -0 "$BOX_LIGHTTPD_PID" 2>/dev/null || break
    box_answers "$port" && return 0
    sleep 0.1
  done
  echo "lighttpd did not start on 127.0.0.1:$port; see $state/lighttpd-error.log" >&2
  cat "$state/lighttpd.out" "$state/lighttpd-error.log" >&2 2>/dev/null || true
  box_stop "$BOX_LIGHTTPD_PID"
  BOX_LIGHTTPD_PID=""
  return 1
}

# box_serve STATE_DIR SNIPPET [PORT]: lighttpd on 127.0.0.1:PORT serving the box
# through its installed snippet (box_lighttpd_conf, box_start_lighttpd). Without
# PORT it takes a free port, and tries three times: the port can be taken
# between the look-up and lighttpd's bind. Sets BOX_HTTP_PORT and
# BOX_LIGHTTPD_PID.
box_serve() {
  local state=$1 snippet=$2 port=${3:-} tries=3 attempt
  [ -z "$port" ] || tries=1
  for attempt in $(seq "$tries"); do
    BOX_HTTP_PORT=${port:-$(box_free_port)} || continue
    box_lighttpd_conf "$state/lighttpd.conf" "$state" "$BOX_HTTP_PORT" "$snippet" || return 1
    box_start_lighttpd "$state/lighttpd.conf" "$state" "$BOX_HTTP_PORT" && return 0
  done
  return 1
}

# box_stop PID...: SIGTERM, then waits for each (those that are our children).
box_stop() {
  local pid
  for pid in "$@"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done
  for pid in "$@"; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null || true
  done
}

# box_start_sample BUILD STATE_DIR SITE_DIR RUNTIME_DIR [SITE_SOURCE [PROJECT]]:
# the box of the demo, the preview and the load test: the trial runtime on a
# copy of PROJECT (default demo/project.txt; the copy is BUILD/project.txt, its
# AF file BUILD/project.af), the runtime's control files, the site files of
# SITE_SOURCE (default demo/site) placed, and each site compiled by the box's
# own Sheetmaker. Sets BOX_RUNTIME_PID and BOX_RUNTIME_PORT (also when a later
# step fails, so that the caller can stop the runtime).
box_start_sample() {
  local build=$1 state=$2 site=$3 runtime=$4
  local src=${5:-$BOX_SOURCE/demo/site} project=${6:-$BOX_SOURCE/demo/project.txt} name
  # Each step checked: a caller's `set -e` does not reach into a function
  # called as part of `||`.
  mkdir -p "$state" "$site" "$runtime" || return 1
  cp "$project" "$build/project.txt" || return 1
  box_start_runtime "$build/tools/trial-runtime/trial-runtime" "$build/project.txt" "$state" \
    --ablkrn "$runtime/ABLKRN.CFG" --af "$build/project.af" || return 1
  box_runtime_files "$runtime" "$BOX_RUNTIME_PORT" "$build/project.af" || return 1
  box_place_site "$src" "$site" || return 1
  for name in $(box_sites "$src"); do
    "$site/Sheetmaker" "$name" || { echo "Sheetmaker $name failed" >&2; return 1; }
  done
}

# box_check_site SITE_SOURCE [PROJECT]: runs the box's site checker
# (BOX_SITE_DIR/SiteCheck, installed beside Sheetmaker) on each site defined in
# SITE_SOURCE, its names checked against the trial-runtime project PROJECT, and
# prints its findings. Returns the highest status of the runs: 0 no errors, 1
# errors, 2 a site that cannot be read.
box_check_site() {
  local src=$1 project=${2:-} name status worst=0
  local args=(--dir "$src/")
  [ -z "$project" ] || args+=(--project "$project")
  if [ ! -x "$BOX_SITE_DIR/SiteCheck" ]; then
    echo "site check: no SiteCheck in $BOX_SITE_DIR; $src not checked"
    return 0
  fi
  for name in $(box_sites "$src"); do
    "$BOX_SITE_DIR/SiteCheck" "${args[@]}" "$name" && status=0 || status=$?
    [ "$status" -le "$worst" ] || worst=$status
  done
  return "$worst"
}
