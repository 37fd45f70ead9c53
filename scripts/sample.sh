#!/usr/bin/env bash
# Installs what is missing, builds, prints the bundled sample label with the driver's PPD,
# shows what the printer would receive and draws it with label-preview; the last line is
# the path of the picture. As root the job goes the way a real one goes: lp to a queue of
# a private CUPS scheduler on 127.0.0.1 (scripts/private_cupsd.sh) whose device is a file.
# Otherwise cupsfilter makes the raster and the filter is run by hand, as CUPS runs it.
#   scripts/sample.sh [-o name=value ...]     e.g. -o Darkness=12 -o PrintMode=0
#   scripts/sample.sh -f document.pdf [-o name=value ...]   prints that PDF instead
set -euo pipefail
cd "$(dirname "$0")/.."
arguments=("$@")
options=()
document=
while [ $# -gt 0 ]; do
  case $1 in
    -o) options+=("$2"); shift 2 ;;
    -o?*) options+=("${1#-o}"); shift ;;
    -f) document=$2; shift 2 ;;
    *) echo "usage: $0 [-f document.pdf] [-o name=value ...]" >&2; exit 2 ;;
  esac
done
if [ -n "$document" ]; then
  [ -f "$document" ] || { echo "$document: no such file" >&2; exit 2; }
  # A copy first: the document may sit in build/sample, which is made anew below.
  copy=$(mktemp)
  trap 'rm -f "$copy"' EXIT
  cp "$document" "$copy"
fi
dash_o=()  # -o name=value for each, as lp and cupsfilter take them
for o in "${options[@]}"; do dash_o+=(-o "$o"); done
scripts/deps.sh
scripts/build.sh build >/dev/null
# As root, the private scheduler's filter (run as lp) writes its log where it may: in a
# log folder of this run's own, so that a sample never replaces the machine's last job's
# log.
if [ "$(id -u)" -eq 0 ] && [ -z "${VANTEL_SAMPLE_PRIVATE_LOG:-}" ]; then
  VANTEL_SAMPLE_PRIVATE_LOG=1 exec tests/support/private_log.sh /var/log/cups/korvel.log \
    "$PWD/scripts/sample.sh" ${arguments[@]+"${arguments[@]}"}
fi

out=build/sample
ppd=$PWD/ppd/vantel-203.ppd  # its default label is the sample's 4 x 2 in
rm -rf "$out" && mkdir -p "$out"
if [ -n "$document" ]; then
  mv "$copy" "$out/label.pdf" && chmod 644 "$out/label.pdf"
else
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$out/label.pdf" samples/label.ps
fi

if [ "$(id -u)" -eq 0 ]; then
  source scripts/private_cupsd.sh
  # cupsd runs the filters as lp, which must reach the scheduler's folder: a fresh one
  # under /tmp, since the work tree may sit in a folder closed to others. Its logs are
  # copied to build/sample/cups-log when the job is done.
  cups_dir=$(mktemp -d /tmp/rastertovantel-sample.XXXXXX)
  trap 'cupsd_stop; rm -rf "$cups_dir"' EXIT
  trap 'exit 1' INT TERM
  cupsd_start "$cups_dir" 18765 build/filter/rastertovantel build/prefilter/pdftolabel
  cups_client lpadmin -p sample -E -v "file://$PWD/$out/label.prn" -P "$ppd" 2>/dev/null
  id=$(cups_client lp -d sample "${dash_o[@]}" "$out/label.pdf" |
    sed -n 's/^request id is sample-\([0-9]*\) .*/\1/p')
  state=$(wait_for_job "$id" 30)
  cupsd_stop
  cp -r "$cups_dir/log" "$out/cups-log"
  echo "Job:     lp -d sample${dash_o[*]:+ ${dash_o[*]}} label.pdf, through cupsd: $state"
  # The labels counted, and the errors cupsd logged for the job (it drops their prefix).
  grep -F "[Job $id]" "$out/cups-log/error_log" |
    sed -n -E '/please consult/d; s/^D .*\] (PAGE: .*)/         \1/p; s/^E .*\[Job [0-9]+\] (.*)/         ERROR: \1/p'
  [ "$state" = completed ] || { echo "See $out/cups-log/error_log"; exit 1; }
else
  # The PPD sends a PDF job through pdftolabel first, which cupsfilter to a raster skips.
  PPD=$ppd build/prefilter/pdftolabel 1 "${USER:-user}" sample 1 "${options[*]}" \
    "$out/label.pdf" >"$out/fitted.pdf" 2>"$out/pdftolabel.stderr"
  cupsfilter -p "$ppd" -m application/vnd.cups-raster "${dash_o[@]}" "$out/fitted.pdf" \
    >"$out/label.ras" 2>"$out/cupsfilter.log"
  PPD=$ppd build/filter/rastertovantel 1 "${USER:-user}" sample 1 "${options[*]}" \
    "$out/label.ras" >"$out/label.prn" 2>"$out/filter.stderr"
  echo "Job:     cupsfilter to raster, then the filter with PPD=$ppd"
  sed 's/^/         /' "$out/filter.stderr"
fi

echo "Output:  $out/label.prn ($(wc -c <"$out/label.prn") bytes)"
echo "Commands:"
LC_ALL=C grep -a -o -E '^(SIZE|GAP|SPEED|DENSITY|DIRECTION|REFERENCE|OFFSET|SHIFT|SET|CLS|PRINT)[^\r]*|BITMAP [-0-9]+,[-0-9]+,[0-9]+,[0-9]+,1,' \
  "$out/label.prn" | sed 's/^/  /; s/^  BITMAP.*/& <bitmap bytes>/'

status=0
build/tools/label-preview -o "$out/label" "$out/label.prn" >"$out/preview.out" 2>"$out/preview.err" ||
  status=$?
echo "Preview:"
sed 's/^/  /' "$out/preview.out" "$out/preview.err"
[ "$status" -eq 0 ] || exit "$status"
for png in "$out"/label-*.png; do echo "Picture: $PWD/$png"; done
