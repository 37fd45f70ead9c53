# A private CUPS scheduler for tests and samples: it listens on 127.0.0.1 only and keeps its
# configuration, spool, logs and filters in one folder, so the machine's own CUPS set-up is
# never read or changed. Source this from bash and run as root (cupsd runs filters as lp).
#
#   cupsd_start DIR PORT [FILTER [PREFILTER...]]
#                                 start cupsd in the new folder DIR, with FILTER (when
#                                 not empty) installed as rastertovantel and each
#                                 PREFILTER (pdftolabel) under its own name; the folders
#                                 above DIR must be open to lp. A job whose backend fails
#                                 is aborted, unless CUPSD_ERROR_POLICY names another policy
#                                 (retry-job is Debian's), with CUPSD_RETRY_INTERVAL seconds
#                                 between tries (CUPS's own 300 when it is not set); it logs
#                                 at CUPSD_LOG_LEVEL (debug unless set; Debian's is warn)
#   cupsd_stop                    stop it by its process id; call it from an EXIT trap
#   cupsd_test_lock PORT CMD...   for a test: exit 77 (skipped) unless root with every CMD
#                                 installed, then wait until no other test uses PORT
#   cups_client CMD ARGS...       run lp, lpadmin, lpstat... against it
#   cupsd_add_queue NAME PPD [LPADMIN OPTION...]
#                                 add the enabled queue NAME with the PPD file PPD; its
#                                 device is the file $CUPSD_DIR/out/NAME.prn
#   wait_for_job ID SECONDS       wait until job ID has ended; prints its job-state
#
# Every wait has a deadline. The client commands get their own HOME and CUPS_SERVERROOT, so
# no lpoptions file of the user or the machine adds options to a job.

CUPSD_DIR=
CUPSD_PORT=
CUPSD_PID=

cupsd_start() {
  CUPSD_DIR=$1 CUPSD_PORT=$2
  local filter=${3:-} serverbin f i
  shift $(($# < 3 ? $# : 3))
  serverbin=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)
  mkdir -p "$CUPSD_DIR" && chmod 755 "$CUPSD_DIR"
  mkdir -p "$CUPSD_DIR"/{etc,spool,cache,state,log,out,home,sb/filter,sb/backend}
  # The server starts every filter through daemon/cups-exec and finds the converters of the
  # chain in filter/. The project's filter is a root-owned 0755 copy: cupsd refuses a filter
  # that is group- or world-writable or owned by anyone else. Of the backends only ipp, for
  # driverless queues of a printer on this machine (file: devices need none).
  for f in "$serverbin"/filter/*; do ln -s "$f" "$CUPSD_DIR/sb/filter/"; done
  ln -s "$serverbin/daemon" "$CUPSD_DIR/sb/daemon"
  ln -s "$serverbin/backend/ipp" "$CUPSD_DIR/sb/backend/ipp"
  [ -z "$filter" ] || install -m 0755 -o root -g root "$filter" "$CUPSD_DIR/sb/filter/rastertovantel"
  for f in "$@"; do
    install -m 0755 -o root -g root "$f" "$CUPSD_DIR/sb/filter/$(basename "$f")"
  done
  if ! setpriv --reuid=lp --regid=lp --clear-groups test -x "$CUPSD_DIR/sb/filter"; then
    echo "user lp cannot reach $CUPSD_DIR: every folder above it must be open to others" >&2
    return 1
  fi

  cat >"$CUPSD_DIR/etc/cupsd.conf" <<CONF
Listen 127.0.0.1:$CUPSD_PORT
ServerName 127.0.0.1
LogLevel ${CUPSD_LOG_LEVEL:-debug}
MaxLogSize 0
ErrorPolicy ${CUPSD_ERROR_POLICY:-abort-job}
${CUPSD_RETRY_INTERVAL:+JobRetryInterval $CUPSD_RETRY_INTERVAL}
Browsing No
WebInterface No
DefaultEncryption Never
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat >"$CUPSD_DIR/etc/cups-files.conf" <<CONF
ServerRoot $CUPSD_DIR/etc
RequestRoot $CUPSD_DIR/spool
CacheDir $CUPSD_DIR/cache
StateDir $CUPSD_DIR/state
ServerBin $CUPSD_DIR/sb
AccessLog $CUPSD_DIR/log/access_log
ErrorLog $CUPSD_DIR/log/error_log
PageLog $CUPSD_DIR/log/page_log
Printcap $CUPSD_DIR/state/printcap
FileDevice Yes
User lp
Group lp
CONF
  cat >"$CUPSD_DIR/etc/client.conf" <<CONF
ServerName 127.0.0.1:$CUPSD_PORT
CONF

  cupsd -f -c "$CUPSD_DIR/etc/cupsd.conf" -s "$CUPSD_DIR/etc/cups-files.conf" \
    >"$CUPSD_DIR/log/stdout" 2>&1 &
  CUPSD_PID=$!
  for ((i = 0; i < 100; i++)); do
    if ! kill -0 "$CUPSD_PID" 2>/dev/null; then
      echo "cupsd exited at start:" >&2
      cat "$CUPSD_DIR/log/stdout" "$CUPSD_DIR/log/error_log" >&2 2>/dev/null
      return 1
    fi
    # lpstat -r exits 0 even when nothing answers, so its words decide.
    cups_client lpstat -r 2>/dev/null | grep -qx "scheduler is running" && return 0
    sleep 0.1
  done
  echo "cupsd did not answer on 127.0.0.1:$CUPSD_PORT within 10 s" >&2
  return 1
}

cupsd_test_lock() {
  local port=$1 command
  shift
  [ "$(id -u)" -eq 0 ] || { echo "skipped: cupsd runs filters and backends as lp, so this needs root"; exit 77; }
  for command in cupsd "$@"; do
    command -v "$command" >/dev/null || { echo "skipped: $command is not installed"; exit 77; }
  done
  # One scheduler per port on this machine at a time, whoever runs the suite.
  exec 9>"/tmp/rastertovantel-cupsd-$port.lock"
  flock -w 120 9 || { echo "port $port stayed locked for 2 minutes"; exit 1; }
}

cupsd_stop() {
  [ -n "$CUPSD_PID" ] || return 0
  kill -TERM "$CUPSD_PID" 2>/dev/null || true
  wait "$CUPSD_PID" 2>/dev/null || true
  CUPSD_PID=
}

cups_client() {
  HOME=$CUPSD_DIR/home CUPS_SERVERROOT=$CUPSD_DIR/etc CUPS_SERVER=127.0.0.1:$CUPSD_PORT \
    LPDEST= PRINTER= "$@"
}

# lpadmin's warning that PPD drivers are deprecated is left out of what it says.
cupsd_add_queue() {
  local name=$1 ppd=$2
  shift 2
  cups_client lpadmin -p "$name" -E -v "file://$CUPSD_DIR/out/$name.prn" -P "$ppd" "$@" \
    2> >(grep -v "Printer drivers are deprecated" >&2)
}

# Prints the job-state keyword of job $1 (pending, processing, completed, ...).
job_state() {
  local test=$CUPSD_DIR/etc/job-state.test
  [ -f "$test" ] || cat >"$test" <<'TEST'
{
  NAME "job state"
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job_id
  ATTR keyword requested-attributes job-state
  STATUS successful-ok
  DISPLAY job-state
}
TEST
  cups_client ipptool -t -T 5 -d job_id="$1" "ipp://127.0.0.1:$CUPSD_PORT/" "$test" 2>/dev/null |
    sed -n 's/^ *job-state (enum) = //p'
}

# Waits at most $2 seconds for job $1 to end; prints the state it ended in, or "timeout".
wait_for_job() {
  local id=$1 tenths=$(($2 * 10)) state= i
  for ((i = 0; i < tenths; i++)); do
    state=$(job_state "$id")
    case $state in
      completed | processing-stopped | aborted | canceled) echo "$state"; return 0 ;;
    esac
    sleep 0.1
  done
  echo "timeout (last state: ${state:-unknown})"
}
