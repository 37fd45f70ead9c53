#!/usr/bin/env bash
# Carrier pages through a real CUPS scheduler: the pages of carrier_pages.sh printed to
# queues of both PPDs (203 and 300 dpi), drawn with label-preview, and their barcodes read
# back with zbarimg (Code 128, QR), dmtxread (DataMatrix) and pdf417_read. With APP set,
# the same pages are printed through the printer application too, whose PDF path uses the
# same label finding, and must give the same labels.
#
# With LabelFit on (the PPDs' default) every label prints on its own label, in order, and
# every code of it reads; nothing else of the page prints. With it off (the job's
# -o LabelFit=Off at 203 dpi, the queue's lpadmin -o LabelFit=Off at 300 dpi; the app's
# vantel-label-fit=whole-page) the pages print as before, scaled to fit: how many codes
# still read is printed, not checked. A page that is not cut prints the same bytes either
# way, and what pdftolabel writes passes qpdf --check.
#
#   carrier_queue_test.sh FILTER PDFTOLABEL PREVIEW PORT [PDF417_READ]
#
#   LAYOUTS="name ..."   the layouts to print (default: a handful; "all" for every one)
#   APP=PROGRAM APP_PORT=PORT   also print through vantel-printer-app on 127.0.0.1:PORT
#   TABLE=FILE           write the results as a Markdown table to FILE
#   PICTURES=DIR         keep the labels' pictures in DIR
#
# Exits 77 (skipped) when not run as root or when a tool is missing.
set -euo pipefail

filter=$(readlink -f "$1")
prefilter=$(readlink -f "$2")
preview=$(readlink -f "$3")
port=$4
pdf417=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

# name, queue's label, labels it must print with LabelFit on, and what is checked:
#   codes  every code of every label reads
#   whole  the page goes on as it is: the same bytes as with LabelFit off
#   ink    each label has ink on it (pages of labels without codes)
catalogue=(
  "letter-topleft 4x6 1 codes"
  "letter-two 4x6 2 codes"
  "a4 4x6 1 codes"
  "landscape-6x4 4x6 1 codes,whole"
  "label-4x6 4x6 1 codes,whole"
  "letter-receipt 4x6 1 codes"
  "letter-slip 4x6 1 codes"
  "a4-cutframe 4x6 1 codes"
  "landscape-receipt 4x6 1 codes"
  "letter-two-cut 4x6 2 codes"
  "a4-header 4x6 1 codes"
  "letter-gaps 4x6 1 codes"
  "letter-oversize 4x6 1 codes"
  "letter-scan 4x6 1 codes"
  "instructions 4x6 1 whole"
  "label-4x6 4x2 1 codes"
  "sheet-4x2 4x2 10 ink"
  "browser-receipt 4x6 1 codes"
  "browser-receipt-svg 4x6 1 codes"
  "browser-instr-above 4x6 1 codes"
  "browser-a4 4x6 1 codes"
  "browser-lying 4x6 1 codes"
  "browser-landscape 4x6 1 codes"
  "browser-alone 4x6 1 codes"
)
wanted=${LAYOUTS:-letter-topleft letter-two a4 landscape-6x4 label-4x6 letter-receipt a4-cutframe letter-oversize instructions label-4x6@4x2 browser-receipt browser-lying}

[ -n "$pdf417" ] || { echo "skipped: pdf417_read was not built (libzxing-dev is not installed)"; exit 77; }
source "$source_dir/scripts/private_cupsd.sh"
cupsd_test_lock "$port" lpadmin lp ipptool gs zint zbarimg dmtxread qpdf convert identify chromium
source "$source_dir/tests/e2e/label_checks.sh"
work=$(mktemp -d /tmp/vantel-carrier-test.XXXXXX)
chmod 755 "$work"
trap 'cupsd_stop; [ -z "${APP:-}" ] || app_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

"$here/carrier_pages.sh" "$work/docs"
# The entries to print: "name size labels checks", a layout on another queue as NAME@SIZE.
entries=()
for entry in "${catalogue[@]}"; do
  read -r name size _ _ <<<"$entry"
  for want in $wanted; do
    if [ "$want" = all ] || [ "$want" = "$name@$size" ] || { [ "$want" = "$name" ] && [ "$size" = 4x6 ]; }; then
      entries+=("$entry")
      break
    fi
  done
done
points() { [ "$1" = 4x6 ] && echo w288h432 || echo w288h144; }

# What pdftolabel itself writes for each page, for qpdf --check.
for entry in "${entries[@]}"; do
  read -r name size _ _ <<<"$entry"
  PPD=$source_dir/ppd/vantel-203.ppd "$prefilter" 1 user "$name" 1 "PageSize=$(points "$size")" \
    "$work/docs/$name.pdf" >"$work/$name-$size.fit.pdf" 2>"$work/$name-$size.fit.err" ||
    fail "pdftolabel on $name: $(cat "$work/$name-$size.fit.err")"
  qpdf --check "$work/$name-$size.fit.pdf" >"$work/$name-$size.check" 2>&1 ||
    fail "qpdf --check on what pdftolabel made of $name: $(tail -3 "$work/$name-$size.check")"
done

cupsd_start "$work/cups" "$port" "$filter" "$prefilter"
out=$CUPSD_DIR/out
for size in 4x6 4x2; do
  for queue in 203:on 300:on 300:off; do
    dpi=${queue%:*} fit=${queue#*:}
    defaults=(-o "PageSize=$(points "$size")")
    [ "$fit" = off ] && defaults+=(-o LabelFit=Off)
    cups_client lpadmin -p "q$dpi$fit$size" -E -v "file://$out/q$dpi$fit$size.prn" \
      -P "$source_dir/ppd/vantel-$dpi.ppd" "${defaults[@]}" 2> >(grep -v "drivers are deprecated" >&2)
  done
done

if [ -n "${APP:-}" ]; then
  source "$source_dir/scripts/private_app.sh"
  app_start "$APP" "$work/app" "$APP_PORT"
  mkdir -p "$work/app/out"
  for dpi in 203 300; do
    app_run add -d "lab$dpi" -m "vantel_${dpi}dpi" -v "file://$work/app/out?ext=prn"
  done
  cat >"$work/app/print.test" <<'TEST'
{
  OPERATION Print-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name test
  ATTR name job-name $name
  ATTR mimeMediaType document-format application/pdf
  GROUP job-attributes-tag
  ATTR keyword media $media
  ATTR keyword vantel-label-fit $fit
  FILE $filename
  STATUS successful-ok
  EXPECT job-id
}
{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job-id
  ATTR keyword requested-attributes job-state
  STATUS successful-ok
  EXPECT job-state WITH-VALUE >6 REPEAT-NO-MATCH
  REPEAT-LIMIT 300
  DELAY 0.2
}
{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job-id
  ATTR keyword requested-attributes job-state,job-state-reasons
  STATUS successful-ok
  EXPECT job-state WITH-VALUE 9
}
TEST
fi

# Prints one document through cupsd and draws what the printer got: PNG/NAME-1.png ...
print() {  # queue dpi name document [lp options...]
  local queue=$1 dpi=$2 name=$3 document=$4 id state
  shift 4
  id=$(cups_client lp -d "$queue" "$@" "$document" |
    sed -n 's/^request id is [a-z0-9]*-\([0-9]*\) .*/\1/p')
  state=$(wait_for_job "$id" 60)
  if [ "$state" != completed ]; then
    fail "$name: the job ended as '$state'"
    grep -F "[Job $id]" "$CUPSD_DIR/log/error_log" | grep -E '\] (ERROR|DEBUG: pdftolabel)' |
      tail -5
    return
  fi
  draw "$out/$queue.prn" "$dpi" "$name"
}

# Keeps what the printer got as NAME.prn and draws it: PNG/NAME-1.png ...
draw() {  # printer-file dpi name
  cp "$1" "$work/$3.prn"
  "$preview" --dpi "$2" -o "$work/png/$3" "$work/$3.prn" >/dev/null 2>&1 ||
    fail "$3: label-preview failed"
}

# The same through the printer application.
app_print() {  # dpi size name document fit
  local media=oe_w288h432_4x6in
  [ "$2" = 4x2 ] && media=oe_w288h144_4x2in
  ipptool -T 60 -d "name=$3" -d "media=$media" -d "fit=$5" -f "$4" \
    "ipp://127.0.0.1:$APP_PORT/ipp/print/lab$1" "$work/app/print.test" >"$work/$3.ipp" 2>&1 ||
    { fail "$3: the app's job failed: $(tail -3 "$work/$3.ipp")"; return; }
  draw "$work/app/out/$3.prn" "$1" "$3"
}

# Every code read from one picture, "SYMBOLOGY DATA" a line. dmtxread stops after the
# number of DataMatrix codes it was told to expect or after the time given; it scans a
# picture shrunk by the factor given, which is faster but misses the smallest codes.
read_codes() {  # picture datamatrix-count shrink seconds
  { zbarimg -q "$1" 2>/dev/null || true; } | sed 's/:/ /'
  { dmtxread -n -N "$2" -S "$3" -m "$4"000 "$1" 2>/dev/null || true; } |
    sed '/^$/d; s/^/DataMatrix /'
  { "$pdf417" "$1" 2>/dev/null || true; } | sed 's/:/ /'
}

pictures() { ls "$work/png/$1"-*.png 2>/dev/null | wc -l; }

# Checks the labels printed with LabelFit on; sets `printed` and `read` to the number of
# labels and of codes that read on them.
check_on() {  # run layout labels checks
  local run=$1 codes=$work/docs/$2.codes n got
  read=0
  printed=$(pictures "$run")
  [ "$printed" -eq "$3" ] || fail "$run: $printed labels printed, expected $3"
  for ((n = 1; n <= printed; n++)); do
    if [[ $4 == *ink* ]] && ! convert "$work/png/$run-$n.png" -threshold 50% -format '%[fx:minima]' info: | grep -qx 0; then
      fail "$run, label $n: nothing printed on it"
    fi
    got=$(read_codes "$work/png/$run-$n.png" 1 2 60)
    while read -r label symbology data; do
      [ "$label" = "$n" ] || continue
      if grep -qxF "$symbology $data" <<<"$got"; then
        read=$((read + 1))
      elif [[ $4 == *codes* ]]; then
        fail "$run, label $n: $symbology '$data' does not read"
      fi
    done <"$codes"
  done
}

# The same for LabelFit off, where the codes may read anywhere on the labels. Those counts
# are only shown, never checked: dmtxread gets 10 s a label for the table the docs show
# (TABLE), 1 s otherwise (it spends the whole time on a label with fewer codes than asked).
check_off() {  # run layout
  local codes=$work/docs/$2.codes got seconds=1
  [ -z "${TABLE:-}" ] || seconds=10
  got=$(for png in "$work/png/$1"-*.png; do read_codes "$png" "$(wc -l <"$codes")" 1 $seconds; done)
  printed=$(pictures "$1")
  read=$(while read -r _ symbology data; do
    if grep -qxF "$symbology $data" <<<"$got"; then echo; fi
  done <"$codes" | wc -l)
}

mkdir -p "$work/png"
rows=()
for entry in "${entries[@]}"; do
  read -r layout size labels checks <<<"$entry"
  document=$work/docs/$layout.pdf
  total=$(wc -l <"$work/docs/$layout.codes")
  for dpi in 203 300; do
    run=$layout-$size-$dpi
    print "q${dpi}on$size" "$dpi" "$run-on" "$document"
    if [ "$dpi" = 203 ]; then
      print "q203on$size" 203 "$run-off" "$document" -o LabelFit=Off
    else
      print "q300off$size" 300 "$run-off" "$document"
    fi
    check_on "$run-on" "$layout" "$labels" "$checks"
    on_labels=$printed on_codes=$read
    check_off "$run-off" "$layout"
    off_labels=$printed off_codes=$read
    if [[ $checks == *whole* ]]; then
      cmp -s "$work/$run-on.prn" "$work/$run-off.prn" ||
        fail "$run: LabelFit on printed other bytes than off"
    fi
    row="| $layout | $size | $dpi | CUPS | $on_labels | $on_codes of $total | $off_labels | $off_codes of $total |"
    rows+=("$row")

    if [ -n "${APP:-}" ]; then
      app_print "$dpi" "$size" "$run-app-on" "$document" find-labels
      app_print "$dpi" "$size" "$run-app-off" "$document" whole-page
      check_on "$run-app-on" "$layout" "$labels" "$checks"
      app_labels=$printed app_codes=$read
      check_off "$run-app-off" "$layout"
      app_off_labels=$printed app_off_codes=$read
      # The same labels; a page that goes on whole is scaled by each chain its own way.
      [ "$app_labels" = "$on_labels" ] ||
        fail "$run: the app printed $app_labels labels, CUPS $on_labels"
      rows+=("| $layout | $size | $dpi | app | $app_labels | $app_codes of $total | $app_off_labels | $app_off_codes of $total |")
    fi
  done
done

table=("| Layout | Queue | dpi | Through | Labels | Codes read | Labels, LabelFit=Off | Codes read, Off |"
  "|---|---|---|---|---|---|---|---|" "${rows[@]}")
printf '%s\n' "${table[@]}"
[ -z "${TABLE:-}" ] || printf '%s\n' "${table[@]}" >"$TABLE"
[ -z "${PICTURES:-}" ] || { mkdir -p "$PICTURES" && cp "$work"/png/*.png "$PICTURES/"; }
if [ "$failures" -ne 0 ]; then
  [ -z "${APP:-}" ] || grep 'Label finding' "$work/app/log" | tail -5
  exit 1
fi
echo "carrier pages through cupsd on 127.0.0.1:$port as expected"
