#!/usr/bin/env bash
# The printer application shared beyond this machine (-o listen-hostname=127.0.0.2, a
# loopback address other than the machine's own): every settings page and every IPP
# operation that changes the printer or the system asks for a login, and a client
# without one (or with a wrong one) gets 401 / client-error-not-authorized and changes
# nothing. Printing and the status pages stay open.
#
#   remote_auth_test.sh APP PORT
#
# Exits 77 (skipped) without curl or ipptool. Leaves nothing running.
set -euo pipefail

app=$(readlink -f "$1")
port=$2 host=127.0.0.2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for tool in curl ipptool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
source "$source_dir/scripts/private_app.sh"
work=$(mktemp -d /tmp/vantel-auth-test.XXXXXX)
trap 'app_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
app_start "$app" "$work/app" "$port" -o listen-hostname="$host" \
  -o server-options=no-tls,web-network,web-security,web-log
app_add_printer lab vantel_203dpi

failures=0
check() {  # check WHAT EXPECTED GOT
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected $2, got $3"; failures=$((failures + 1)); fi
}
base="http://$host:$port"
printer_uri="ipp://$host:$port/ipp/print/lab"
system_uri="ipp://$host:$port/ipp/system"

# One attribute of the printer or the system, as ipptool shows it.
attribute() {  # attribute URI OPERATION NAME
  cat >"$work/get.test" <<TEST
{ OPERATION $2
GROUP operation-attributes-tag
ATTR charset attributes-charset utf-8
ATTR naturalLanguage attributes-natural-language en
ATTR uri $([ "$2" = Get-System-Attributes ] && echo system-uri || echo printer-uri) \$uri
ATTR keyword requested-attributes $3
STATUS successful-ok
DISPLAY $3 }
TEST
  ipptool -tv "$1" "$work/get.test" </dev/null | sed -n "s/^ *$3 ([^)]*) = //p"
}
state() {
  echo "darkness=$(attribute "$printer_uri" Get-Printer-Attributes printer-darkness-configured)" \
    "state=$(attribute "$printer_uri" Get-Printer-Attributes printer-state)" \
    "accepting=$(attribute "$printer_uri" Get-Printer-Attributes printer-is-accepting-jobs)" \
    "location=$(attribute "$printer_uri" Get-Printer-Attributes printer-location)" \
    "printers=$(attribute "$system_uri" Get-System-Attributes system-configured-printers | grep -o 'printer-id=' | wc -l)"
}
before=$(state)
check "the printer is there and idle" "darkness=46 state=idle accepting=true location= printers=1" "$before"

# --- The web interface: settings pages, read and posted, and the status page's buttons --
session=$(curl -s "$base/lab/" | sed -n 's/.*name="session" value="\([0-9a-f]*\)".*/\1/p' | head -1)
for page in /config /network /security /logs /logfile.txt /addprinter /lab/config /lab/media \
  /lab/printing /lab/jobs /lab/delete /lab/cancelall; do
  check "GET $page without a login" 401 "$(curl -s -o /dev/null -w '%{http_code}' "$base$page")"
  check "POST $page without a login" 401 "$(curl -s -o /dev/null -w '%{http_code}' \
    -d "session=$session&print-darkness=0&printer-location=owned&ready0-size=oe_w288h144_4x2in" "$base$page")"
done
# Each page asks PAM the same way, and PAM holds every wrong login about 3 s: one will do.
check "POST /lab/printing with a wrong login" 401 "$(curl -s -o /dev/null -w '%{http_code}' \
  -u intruder:wrong -d "session=$session&print-darkness=0" "$base/lab/printing")"
for action in pause-printer hold-new-jobs set-as-default print-test-page identify-printer; do
  check "POST /lab/ action=$action without a login" 401 \
    "$(curl -s -o /dev/null -w '%{http_code}' -d "session=$session&action=$action" "$base/lab/")"
done
check "the status pages stay open" "200 200" \
  "$(curl -s -o /dev/null -w '%{http_code}' "$base/") $(curl -s -o /dev/null -w '%{http_code}' "$base/lab/")"

# --- IPP: every operation that changes the printer or the system ----------------------
# Without a login the server answers 401, which ipptool reports as
# client-error-not-authenticated; a wrong login gets client-error-not-authorized.
ipp_refused() {  # ipp_refused URI OPERATION [ATTR LINES]
  local target=printer-uri
  [ "$1" = "$system_uri" ] && target=system-uri
  cat >"$work/op.test" <<TEST
{ OPERATION $2
GROUP operation-attributes-tag
ATTR charset attributes-charset utf-8
ATTR naturalLanguage attributes-natural-language en
ATTR uri $target \$uri
ATTR name requesting-user-name intruder
${3:-}
STATUS client-error-not-authorized }
TEST
  # A 401 carries no IPP answer, so ipptool fails the test; its status line says why.
  ipptool -tv "$1" "$work/op.test" </dev/null >"$work/op.out" 2>&1 || true
  local status
  status=$(sed -n 's/^ *status-code = \([a-z-]*\).*/\1/p' "$work/op.out" | head -1)
  case $status in
    client-error-not-authenticated | client-error-not-authorized) status=refused ;;
  esac
  check "$2 without a login" refused "$status"
}
for op in Pause-Printer Resume-Printer Enable-Printer Disable-Printer Hold-New-Jobs \
  Release-Held-New-Jobs Cancel-Jobs; do
  ipp_refused "$printer_uri" "$op"
done
ipp_refused "$printer_uri" Set-Printer-Attributes \
  $'GROUP printer-attributes-tag\nATTR integer printer-darkness-configured 0\nATTR text printer-location owned'
ipp_refused "$system_uri" Set-System-Attributes $'GROUP system-attributes-tag\nATTR text system-location owned'
ipp_refused "$system_uri" Delete-Printer 'ATTR integer printer-id 1'
ipp_refused "$system_uri" Create-Printer \
  $'ATTR keyword printer-service-type print\nATTR name printer-name intruder\nATTR keyword smi55357-driver vantel_203dpi\nATTR uri smi55357-device-uri file:///tmp'
for op in Pause-All-Printers Resume-All-Printers Disable-All-Printers Enable-All-Printers Shutdown-All-Printers; do
  ipp_refused "$system_uri" "$op"
done

kill -0 "$APP_PID" || { echo "FAIL: the server is gone"; cat "$work/app/server.out"; exit 1; }
check "nothing changed" "$before" "$(state)"
check "no output was written (no test page)" 0 "$(find "$work/app/out" -type f | wc -l)"

# Identify-Printer changes nothing and is open to every client, as a phone's "identify"
# button expects: the printer beeps.
cat >"$work/identify.test" <<TEST
{ OPERATION Identify-Printer
GROUP operation-attributes-tag
ATTR charset attributes-charset utf-8
ATTR naturalLanguage attributes-natural-language en
ATTR uri printer-uri \$uri
ATTR name requesting-user-name visitor
STATUS successful-ok }
TEST
ipptool -t "$printer_uri" "$work/identify.test" </dev/null >/dev/null
for ((i = 0; i < 50; i++)); do [ -n "$(find "$work/app/out" -type f -size +0)" ] && break; sleep 0.1; done
check "Identify-Printer sends one beep" "SOUND 5,100" "$(cat "$work"/app/out/* 2>/dev/null | tr -d '\r')"
[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
