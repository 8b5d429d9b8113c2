# demo/box.sh: shell functions (sourced, not run) that bring up a box inside the
# build tree: the sample site placed in the site directory, the runtime's
# control files, the trial runtime and lighttpd on 127.0.0.1 with a
# configuration written into the build tree. Used by scripts/demo.sh and by the
# end-to-end tests (tests/e2e/). Nothing here writes outside the folders it is
# given.

# A TCP port on 127.0.0.1 that is free now (the kernel picks it).
box_free_port() {
  if command -v node >/dev/null; then
    node -e 'const s=require("net").createServer();s.listen(0,"127.0.0.1",()=>{console.log(s.address().port);s.close()})'
  else
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
  fi
}

# box_cache_value BUILD VARIABLE: a value from the build's CMake cache.
box_cache_value() {
  sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

# box_install_dirs BUILD BOX: where `cmake --install BUILD` put the CGI programs
# and the lighttpd snippet. Sets BOX_CGI_DIR, BOX_CGI_URL and BOX_CONF_DIR;
# fails when either folder lies outside BOX (a build configured for a real box).
box_install_dirs() {
  local build=$1 box=$2
  BOX_CGI_DIR=$(box_cache_value "$build" TELVARIN_CGI_DIR)
  BOX_CGI_URL=$(box_cache_value "$build" TELVARIN_CGI_URL)
  BOX_CONF_DIR=$(box_cache_value "$build" TELVARIN_LIGHTTPD_CONF_DIR)
  case $BOX_CGI_DIR$BOX_CONF_DIR in
    "$box"/*"$box"/*) ;;
    *) echo "$build installs outside its box ($BOX_CGI_DIR, $BOX_CONF_DIR); remove $build" >&2
       return 1 ;;
  esac
}

# box_place_site SOURCE_DIR SITE_DIR: copies the site definition, page and user
# files of SOURCE_DIR into SITE_DIR and removes the sessions of earlier runs.
box_place_site() {
  local src=$1 site=$2
  mkdir -p "$site"
  rm -f "$site"/*.SID "$site"/*_\$
  cp "$src"/*.TVS "$src"/*.SHT "$src"/*.USR "$site"/
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
# Written by demo/box.sh: lighttpd for a box in the build tree, as the current
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
# mode (-D) as a child and waits until it answers. Sets BOX_LIGHTTPD_PID.
box_start_lighttpd() {
  local conf=$1 state=$2 port=$3 lighttpd
  lighttpd=$(command -v lighttpd || echo /usr/sbin/lighttpd)
  "$lighttpd" -tt -f "$conf" >/dev/null || return 1
  "$lighttpd" -D -f "$conf" >"$state/lighttpd.out" 2>&1 &
  BOX_LIGHTTPD_PID=$!
  local i
  for i in $(seq 100); do
    if curl -s -o /dev/null "http://127.0.0.1:$port/"; then
      return 0
    fi
    kill -0 "$BOX_LIGHTTPD_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "lighttpd did not start on 127.0.0.1:$port; see $state/lighttpd-error.log" >&2
  cat "$state/lighttpd.out" "$state/lighttpd-error.log" >&2 2>/dev/null || true
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

# box_start_sample BUILD STATE_DIR SITE_DIR RUNTIME_DIR: the sample box of the
# demo and the load test: the trial runtime on a copy of demo/project.txt
# (BUILD/project.txt, its AF file BUILD/project.af), the runtime's control
# files, the sample site placed and compiled by the box's own Sheetmaker.
# Sets BOX_RUNTIME_PID and BOX_RUNTIME_PORT (also when the compile fails, so
# that the caller can stop the runtime).
box_start_sample() {
  local build=$1 state=$2 site=$3 runtime=$4
  # Each step checked: a caller's `set -e` does not reach into a function
  # called as part of `||`.
  mkdir -p "$state" "$site" "$runtime" || return 1
  cp demo/project.txt "$build/project.txt" || return 1
  box_start_runtime "$build/tools/trial-runtime/trial-runtime" "$build/project.txt" "$state" \
    --ablkrn "$runtime/ABLKRN.CFG" --af "$build/project.af" || return 1
  box_runtime_files "$runtime" "$BOX_RUNTIME_PORT" "$build/project.af" || return 1
  box_place_site demo/site "$site" || return 1
  "$site/Sheetmaker" TELVARINSERVER
}
