#!/usr/bin/env bash
# The printer application for tests, benchmarks and trying it out: `vantel-printer-app
# server` on 127.0.0.1 with its state, spool, sub-command socket and log in one folder, so
# nothing of the machine's own state is read or changed. Every test that starts the app
# starts it through this file: the shell tests source it, the C++ tests
# (tests/support/printer_app.h) run it as a command.
#
# Sourced from bash:
#   app_start APP DIR PORT [-o NAME=VALUE ...]
#                          start APP's server with its state in DIR (made when missing)
#                          and wait until it answers (at most 30 s); sets APP_PID. Its log
#                          is DIR/log, what it prints DIR/server.out. The options go after
#                          the ones below and win over them (listen-hostname=127.0.0.2)
#   app_run ARGS...        run a sub-command (add, status, submit ...) against it
#   app_add_printer NAME DRIVER
#                          add a printer whose file:// device writes one file per job,
#                          named by the job, into DIR/out
#   app_stop               stop it (SIGTERM) and wait for it; call it from an EXIT trap
#
# As a command:
#   private_app.sh server APP DIR PORT [-o NAME=VALUE ...]   the server, in the foreground
#   private_app.sh run APP DIR ARGS...                       a sub-command
#
# The server listens on 127.0.0.1 without TLS and logs at the debug level.

APP_PROGRAM=
APP_DIR=
APP_PID=

# The server's command line, in SERVER: PAPPL puts the state, the spool and the
# sub-commands' socket in SNAP_COMMON when run as root, else under TMPDIR and the
# configuration folder; all of them point into the folder.
app_command() {  # APP DIR [ARGS ...]
  local app=$1 dir=$2
  shift 2
  SERVER=(env "SNAP_COMMON=$dir" "TMPDIR=$dir" "HOME=$dir" "XDG_CONFIG_HOME=$dir" "$app" "$@")
}
app_server_command() {  # APP DIR PORT [-o NAME=VALUE ...]
  local app=$1 dir=$2 port=$3
  shift 3
  app_command "$app" "$dir" server -o server-port="$port" -o listen-hostname=127.0.0.1 \
    -o server-options=no-tls -o log-level=debug -o log-file="$dir/log" "$@"
}

app_run() {
  local SERVER
  app_command "$APP_PROGRAM" "$APP_DIR" "$@"
  "${SERVER[@]}"
}

app_start() {
  APP_PROGRAM=$1 APP_DIR=$2
  local port=$3 host=127.0.0.1 option i
  shift 3
  for option in "$@"; do
    case $option in listen-hostname=*) host=${option#listen-hostname=} ;; esac
  done
  # Open to others (lp, _apt, a browser's file access) as the tests need it.
  mkdir -p "$APP_DIR/out"
  chmod 755 "$APP_DIR" "$APP_DIR/out"
  local SERVER
  app_server_command "$APP_PROGRAM" "$APP_DIR" "$port" "$@"
  "${SERVER[@]}" >"$APP_DIR/server.out" 2>&1 &
  APP_PID=$!
  for ((i = 0; i < 300; i++)); do
    kill -0 "$APP_PID" 2>/dev/null || { cat "$APP_DIR/server.out" >&2; APP_PID=; return 1; }
    (exec 3<>"/dev/tcp/$host/$port") 2>/dev/null && app_run status >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the printer application did not answer on $host:$port within 30 s" >&2
  return 1
}

app_add_printer() {
  app_run add -d "$1" -m "$2" -v "file://$APP_DIR/out?ext=prn"
}

app_stop() {
  [ -n "$APP_PID" ] || return 0
  kill "$APP_PID" 2>/dev/null || true
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  case ${1:-} in
    server)
      [ $# -ge 4 ] || { echo "usage: $0 server APP DIR PORT [-o NAME=VALUE ...]" >&2; exit 2; }
      shift
      app_server_command "$@"
      ;;
    run)
      [ $# -ge 3 ] || { echo "usage: $0 run APP DIR ARGS..." >&2; exit 2; }
      shift
      app_command "$@"
      ;;
    *)
      echo "usage: $0 server APP DIR PORT [-o NAME=VALUE ...] | run APP DIR ARGS..." >&2
      exit 2
      ;;
  esac
  # The caller's process is the server's (or the sub-command's): a signal reaches it.
  exec "${SERVER[@]}"
fi
