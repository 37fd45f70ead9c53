#!/usr/bin/env bash
# Installs what is missing, builds, makes a real raster of the bundled sample label with
# the CUPS toolchain, runs the filter on it, shows what the printer would receive and
# draws it with label-preview; the last line is the path of the picture.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build >/dev/null

out=build/sample
mkdir -p "$out"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$out/label.pdf" samples/label.ps
cupsfilter -p "$PWD/tests/data/label-203.ppd" -m application/vnd.cups-raster \
  "$out/label.pdf" >"$out/label.ras" 2>"$out/cupsfilter.log"
# As CUPS runs it: with the queue's PPD, whose default label is the sample's 4 x 2 in.
PPD="$PWD/tests/data/label-203.ppd" build/filter/rastertovantel 1 "${USER:-root}" sample 1 "" \
  "$out/label.ras" >"$out/label.prn" 2>"$out/filter.stderr"

echo "Raster:  $out/label.ras ($(wc -c <"$out/label.ras") bytes, made by cupsfilter)"
echo "Output:  $out/label.prn ($(wc -c <"$out/label.prn") bytes)"
echo "Stderr:  $(tr '\n' ' ' <"$out/filter.stderr")"
echo "Commands:"
LC_ALL=C grep -a -o -E '^(SIZE|GAP|SPEED|DENSITY|DIRECTION|REFERENCE|OFFSET|SHIFT|SET|CLS|PRINT)[^\r]*|BITMAP [-0-9]+,[-0-9]+,[0-9]+,[0-9]+,1,' \
  "$out/label.prn" | sed 's/^/  /; s/^  BITMAP.*/& <bitmap bytes>/'

rm -f "$out"/label-*.png
status=0
build/tools/label-preview -o "$out/label" "$out/label.prn" >"$out/preview.out" 2>"$out/preview.err" ||
  status=$?
echo "Preview:"
sed 's/^/  /' "$out/preview.out" "$out/preview.err"
[ "$status" -eq 0 ] || exit "$status"
for png in "$out"/label-*.png; do echo "Picture: $PWD/$png"; done
