#!/usr/bin/env bash
# The printer application as another CUPS meets it: the app on 127.0.0.1 with a file://
# device, a private cupsd whose queue is made with `lpadmin -m everywhere` from what the
# app advertises (no PPD of this project), and a PDF and a PNG label printed with lp, two
# copies each. Each job must complete and the app's output file hold the labels: the
# setup lines, the bitmap of the 4 x 2 in label and the black box where the document has
# it. PDF copies are the printer's (PRINT 1,2); PNG copies are pages PAPPL repeats.
#
#   driverless_queue_test.sh APP QUEUE_TOOL APP_PORT CUPS_PORT
#
# Exits 77 (skipped) when not run as root or when the CUPS scheduler or Ghostscript is
# missing. Leaves nothing running and nothing behind.
set -euo pipefail

app=$(readlink -f "$1")
tool=$(readlink -f "$2")
app_port=$3 port=$4
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

source "$source_dir/scripts/private_cupsd.sh"
cupsd_test_lock "$port" lpadmin lp ipptool gs
source "$source_dir/tests/e2e/label_checks.sh"
source "$source_dir/scripts/private_app.sh"
work=$(mktemp -d /tmp/vantel-driverless-test.XXXXXX)
chmod 755 "$work"
trap 'cupsd_stop; app_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

# A 4 x 2 in label (812 x 406 dots at 203 dpi) with a black box at x 40-199, y 30-129
# counted from the top; PostScript counts from the bottom, one unit a dot.
cat >"$work/label.ps" <<'PS'
%!PS
<< /PageSize [288 144] >> setpagedevice
72 203 div dup scale
0 setgray 40 276 160 100 rectfill
showpage
PS
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$work/label.pdf" "$work/label.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r203 -o "$work/label.png" "$work/label.ps"

# --- The app, its printer and the driverless queue -------------------------------------
app_start "$app" "$work/app" "$app_port"
app_add_printer lab vantel_203dpi

cupsd_start "$work/cups" "$port"
cups_client lpadmin -p driverless -E -v "ipp://127.0.0.1:$app_port/ipp/print/lab" -m everywhere
# The scheduler writes the queue's PPD from the printer's answers after lpadmin returns.
for ((i = 0; i < 300; i++)); do [ -f "$CUPSD_DIR/etc/ppd/driverless.ppd" ] && break; sleep 0.1; done

submit() { cups_client lp -d driverless -n 2 -o media=oe_w288h144_4x2in "$@" | sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p'; }
pdf_job=$(submit -t pdf-label "$work/label.pdf")
png_job=$(submit -t png-label "$work/label.png")
for job in "$pdf_job" "$png_job"; do
  ended=$(wait_for_job "$job" 60)
  [ "$ended" = completed ] || fail "job $job ended as '$ended'"
done

# --- The labels in the app's output files ----------------------------------------------
for entry in "pdf-label|2" "png-label|1 1"; do
  IFS='|' read -r name copies <<<"$entry"
  "$tool" dump "$work/app/out/$name.prn" >"$work/$name.txt" || fail "$name: $(tail -1 "$work/$name.txt")"
  for copy in $copies; do
    setup_lines 102 51 4 7
    printf '%s\n' "BITMAP 0,0,102,406,1," "PRINT 1,$copy"
  done >"$work/$name.want"
  diff -u "$work/$name.want" <(commands "$work/$name.txt") || fail "$name: the commands differ"
  while read -r line; do
    expect_box "$name" "$line" 40,30-199,129
  done < <(grep '^  printed dots' "$work/$name.txt")
done

cupsd_stop
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed; the app's log:"
  tail -40 "$work/app/log"
  exit 1
fi
echo "a PDF and a PNG label through a driverless queue (lpadmin -m everywhere) as expected"
