#!/usr/bin/env bash
# Carrier pages through a real CUPS scheduler: the pages of carrier_pages.sh printed to
# 4 x 6 in queues of both PPDs (203 and 300 dpi), drawn with label-preview, and their
# barcodes read back with zbarimg (Code 128, QR), dmtxread (DataMatrix) and pdf417_read.
#
# With LabelFit on (the PPDs' default) every label prints on its own label, in order, and
# every code of it reads. With it off (the job's -o LabelFit=Off at 203 dpi, the queue's
# lpadmin -o LabelFit=Off at 300 dpi) the pages print as before, scaled to fit: how many
# codes still read is printed, not checked. A page that needs nothing prints the same
# bytes either way, and what pdftolabel writes passes qpdf --check.
#
#   carrier_queue_test.sh FILTER PDFTOLABEL PREVIEW PORT [PDF417_READ]
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

[ -n "$pdf417" ] || { echo "skipped: pdf417_read was not built (libzxing-dev is not installed)"; exit 77; }
source "$source_dir/scripts/private_cupsd.sh"
cupsd_test_lock "$port" lpadmin lp ipptool gs zint zbarimg dmtxread qpdf
source "$source_dir/tests/e2e/label_checks.sh"
work=$(mktemp -d /tmp/vantel-carrier-test.XXXXXX)
chmod 755 "$work"
trap 'cupsd_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM

"$here/carrier_pages.sh" "$work/docs"
layouts=(letter-topleft letter-two a4 landscape-6x4 label-4x6)

# What pdftolabel itself writes for each page, for qpdf --check.
for layout in "${layouts[@]}"; do
  PPD=$source_dir/ppd/vantel-203.ppd "$prefilter" 1 user "$layout" 1 PageSize=w288h432 \
    "$work/docs/$layout.pdf" >"$work/$layout.fit.pdf" 2>"$work/$layout.fit.err" ||
    fail "pdftolabel on $layout: $(cat "$work/$layout.fit.err")"
  qpdf --check "$work/$layout.fit.pdf" >"$work/$layout.check" 2>&1 ||
    fail "qpdf --check on what pdftolabel made of $layout: $(tail -3 "$work/$layout.check")"
done

cupsd_start "$work/cups" "$port" "$filter" "$prefilter"
out=$CUPSD_DIR/out
for queue in 203:on 300:on 300:off; do
  dpi=${queue%:*}
  defaults=(-o PageSize=w288h432)
  [ "${queue#*:}" = off ] && defaults+=(-o LabelFit=Off)
  cups_client lpadmin -p "q${dpi}${queue#*:}" -E -v "file://$out/q${dpi}${queue#*:}.prn" \
    -P "$source_dir/ppd/vantel-$dpi.ppd" "${defaults[@]}" 2> >(grep -v "drivers are deprecated" >&2)
done

# Prints one document and draws what the printer got: PNG/NAME-1.png, -2.png ...
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
  cp "$out/$queue.prn" "$work/$name.prn"
  "$preview" --dpi "$dpi" -o "$work/png/$name" "$work/$name.prn" >/dev/null 2>&1 ||
    fail "$name: label-preview failed"
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

mkdir -p "$work/png"
summary=()
for layout in "${layouts[@]}"; do
  codes=$work/docs/$layout.codes
  labels=$(cut -d' ' -f1 "$codes" | sort -u | wc -l)
  for dpi in 203 300; do
    print "q${dpi}on" "$dpi" "$layout-$dpi-on" "$work/docs/$layout.pdf"
    if [ "$dpi" = 203 ]; then
      print q203on 203 "$layout-203-off" "$work/docs/$layout.pdf" -o LabelFit=Off
    else
      print q300off 300 "$layout-300-off" "$work/docs/$layout.pdf"
    fi

    # On: one picture per label, in order, with all of that label's codes.
    pictures=$(ls "$work/png/$layout-$dpi-on"-*.png 2>/dev/null | wc -l)
    [ "$pictures" -eq "$labels" ] ||
      fail "$layout at $dpi dpi: $pictures labels printed, expected $labels"
    on=0
    for ((n = 1; n <= labels; n++)); do
      got=$(read_codes "$work/png/$layout-$dpi-on-$n.png" 1 2 60)
      while read -r label symbology data; do
        [ "$label" = "$n" ] || continue
        if grep -qxF "$symbology $data" <<<"$got"; then
          on=$((on + 1))
        else
          fail "$layout at $dpi dpi, label $n: $symbology '$data' does not read"
        fi
      done <"$codes"
    done

    # Off: the codes that read anywhere on the printed labels.
    got=$(for png in "$work/png/$layout-$dpi-off"-*.png; do read_codes "$png" "$labels" 1 10; done)
    off=$(while read -r _ symbology data; do
      if grep -qxF "$symbology $data" <<<"$got"; then echo; fi
    done <"$codes" | wc -l)
    summary+=("$(printf '%-15s %3s dpi   on %2d of %d   off %2d of %d' "$layout" "$dpi" \
      "$on" "$(wc -l <"$codes")" "$off" "$(wc -l <"$codes")")")

    # A page that needs nothing goes through as it did before.
    case $layout in
      landscape-6x4 | label-4x6)
        cmp -s "$work/$layout-$dpi-on.prn" "$work/$layout-$dpi-off.prn" ||
          fail "$layout at $dpi dpi: LabelFit on printed other bytes than off"
        ;;
    esac
  done
done

printf '%s\n' "Codes read (LabelFit on, and off):" "${summary[@]}"
[ "$failures" -eq 0 ] || exit 1
echo "carrier pages through cupsd on 127.0.0.1:$port as expected"
