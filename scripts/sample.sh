#!/usr/bin/env bash
# Installs what is missing, builds, makes a real raster of the bundled sample label with
# the CUPS toolchain, runs the filter on it and shows what the printer would receive.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build >/dev/null

out=build/sample
mkdir -p "$out"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$out/label.pdf" samples/label.ps
cupsfilter -p "$PWD/tests/data/label-203.ppd" -m application/vnd.cups-raster \
  "$out/label.pdf" >"$out/label.ras" 2>"$out/cupsfilter.log"
build/filter/rastertovantel 1 "${USER:-root}" sample 1 "" "$out/label.ras" >"$out/label.prn" \
  2>"$out/filter.stderr"

echo "Raster:  $out/label.ras ($(wc -c <"$out/label.ras") bytes, made by cupsfilter)"
echo "Output:  $out/label.prn ($(wc -c <"$out/label.prn") bytes)"
echo "Stderr:  $(tr '\n' ' ' <"$out/filter.stderr")"
echo "Commands:"
LC_ALL=C grep -a -o -E '^(SIZE|GAP|SPEED|DENSITY|DIRECTION|REFERENCE|OFFSET|SHIFT|SET|CLS|PRINT)[^\r]*|BITMAP [-0-9]+,[-0-9]+,[0-9]+,[0-9]+,1,' \
  "$out/label.prn" | sed 's/^/  /; s/^  BITMAP.*/& <bitmap bytes>/'
