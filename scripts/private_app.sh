# The printer application for tests and benchmarks: `vantel-printer-app server` on
# 127.0.0.1 with its state, spool and log in one folder, so nothing of the machine's own
# state is read or changed. Source this from bash.
#
#   app_start APP DIR PORT   start APP's server with its state in DIR (made anew) and wait
#                            until it answers; its log is DIR/log
#   app_run ARGS...          run a sub-command (add, status ...) against it
#   app_stop                 stop it by its process id; call it from an EXIT trap

APP_PROGRAM=
APP_DIR=
APP_PID=

app_run() {
  SNAP_COMMON=$APP_DIR TMPDIR=$APP_DIR HOME=$APP_DIR XDG_CONFIG_HOME=$APP_DIR "$APP_PROGRAM" "$@"
}

app_start() {
  APP_PROGRAM=$1 APP_DIR=$2
  local port=$3 i
  mkdir -p "$APP_DIR"
  app_run server -o server-port="$port" -o listen-hostname=127.0.0.1 -o log-file="$APP_DIR/log" \
    >"$APP_DIR/server.out" 2>&1 &
  APP_PID=$!
  for ((i = 0; i < 300; i++)); do
    kill -0 "$APP_PID" 2>/dev/null || { cat "$APP_DIR/server.out" >&2; return 1; }
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && app_run status >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the printer application did not answer on 127.0.0.1:$port within 30 s" >&2
  return 1
}

app_stop() {
  [ -n "$APP_PID" ] || return 0
  kill "$APP_PID" 2>/dev/null || true
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=
}
