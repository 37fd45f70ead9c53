#!/usr/bin/env bash
# The driver's PPDs: up to date with scripts/make_ppd.sh, and clean for cupstestppd with the
# built filter in place. The only warnings allowed are the two kinds the README explains:
# size names that are not Adobe's (the filter looks sizes up by these names) and the
# DefaultMediaTracking line that has no option (no command carries the value).
#
#   ppd_test.sh FILTER PDFTOLABEL
#
# Exits 77 (skipped) without cupstestppd.
set -euo pipefail

filter=$(readlink -f "$1")
prefilter=$(readlink -f "$2")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
command -v cupstestppd >/dev/null || { echo "skipped: cupstestppd is not installed"; exit 77; }

work=$(mktemp -d /tmp/vantel-ppd-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
failures=0

"$source_dir/scripts/make_ppd.sh" "$work/made"
for ppd in "$source_dir"/ppd/*.ppd; do
  diff -u "$ppd" "$work/made/$(basename "$ppd")" >/dev/null ||
    { echo "FAIL: $ppd differs from what scripts/make_ppd.sh writes"; failures=$((failures + 1)); }
done
[ "$(ls "$work/made" | wc -l)" -eq "$(ls "$source_dir"/ppd/*.ppd | wc -l)" ] ||
  { echo "FAIL: scripts/make_ppd.sh writes other PPDs than ppd/ holds"; failures=$((failures + 1)); }

# cupstestppd looks for the PPD's filter and pre-filter under its root folder; 0755 as
# the scheduler wants.
mkdir -p "$work/root/usr/lib/cups/filter"
install -m 0755 "$filter" "$work/root/usr/lib/cups/filter/rastertovantel"
install -m 0755 "$prefilter" "$work/root/usr/lib/cups/filter/pdftolabel"
for ppd in "$source_dir"/ppd/*.ppd; do
  status=0
  cupstestppd -R "$work/root" "$ppd" >"$work/report" 2>&1 || status=$?
  unexplained=$(grep -v -e ': PASS$' \
    -e '^ *WARN *Size "w[0-9]*h[0-9]*" should be the Adobe standard name ' \
    -e '^ *WARN *DefaultMediaTracking has no corresponding options\.$' "$work/report" || true)
  if [ "$status" -ne 0 ] || [ -n "$unexplained" ]; then
    echo "FAIL: cupstestppd $(basename "$ppd") exited $status:"
    cat "$work/report"
    failures=$((failures + 1))
  fi
done

[ "$failures" -eq 0 ] || exit 1
echo "PPDs up to date; cupstestppd: PASS with the known warnings only"
