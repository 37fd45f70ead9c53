# Sourced by the web interface's tests and scripts/web_screenshots.sh: the printer
# application's server with a private state folder, and one printer writing to files.
#
#   app_start APP WORK HOST PORT [SERVER OPTION ...]   (sets app_pid, app_env)
#   app_stop
app_pid=

app_start() {
  local app=$1 work=$2 host=$3 port=$4
  shift 4
  mkdir -p "$work/app/out"
  chmod 755 "$work" "$work/app"
  app_env=(env "SNAP_COMMON=$work/app" "TMPDIR=$work/app" "HOME=$work/app" "XDG_CONFIG_HOME=$work/app")
  "${app_env[@]}" "$app" server -o server-port="$port" -o listen-hostname="$host" \
    -o log-level=debug -o log-file="$work/app/log" "$@" >"$work/app/server.out" 2>&1 &
  app_pid=$!
  local i
  for ((i = 0; i < 300; i++)); do
    kill -0 "$app_pid" 2>/dev/null || { cat "$work/app/server.out"; return 1; }
    (exec 3<>"/dev/tcp/$host/$port") 2>/dev/null && "${app_env[@]}" "$app" status >/dev/null 2>&1 && break
    sleep 0.1
  done
  "${app_env[@]}" "$app" add -d lab -m vantel_203dpi -v "file://$work/app/out?ext=prn"
}

app_stop() {
  [ -z "$app_pid" ] || { kill "$app_pid"; wait "$app_pid"; } 2>/dev/null || true
  app_pid=
}
