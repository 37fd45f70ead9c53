#!/usr/bin/env bash
# The driver's PPDs: up to date with ppd/vantel.drv and its translations, every text of
# the .drv translated into each language, the translations read by libcups as a print
# dialog reads them, and clean for cupstestppd (which checks every language a PPD has)
# with the built filter in place. The only warnings allowed are the kind docs/ppds.md
# explains: size names that are not Adobe's (the filter looks sizes up by these names).
#
#   ppd_test.sh FILTER PPD_DUMP PDFTOLABEL COMMAND_FILTER
#
# Exits 77 (skipped) without cupstestppd or ppdc (cups-client, cups-ppdc).
set -euo pipefail

filter=$(readlink -f "$1")
dump=$(readlink -f "$2")
prefilter=$(readlink -f "$3")
command_filter=$(readlink -f "$4")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for command in cupstestppd ppdc ppdpo; do
  command -v "$command" >/dev/null || { echo "skipped: $command is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/vantel-ppd-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
source "$source_dir/tests/e2e/label_checks.sh"
ppds=("$source_dir"/ppd/*.ppd)

# Up to date: what scripts/make_ppd.sh writes now, but for the comment lines (ppdc names
# its own version in them).
"$source_dir/scripts/make_ppd.sh" "$work/made"
for ppd in "${ppds[@]}"; do
  diff -u <(grep -v '^\*%' "$ppd") <(grep -v '^\*%' "$work/made/$(basename "$ppd")") >/dev/null ||
    fail "$ppd differs from what scripts/make_ppd.sh writes from ppd/vantel.drv"
done
[ "$(ls "$work/made" | wc -l)" -eq "${#ppds[@]}" ] ||
  fail "scripts/make_ppd.sh writes other PPDs than ppd/ holds"

# Every text translated: ppdpo adds each text a catalog lacks, marked TRANSLATE.
cp -r "$source_dir/ppd" "$work/source"
(cd "$work/source" && for po in po/*.po; do ppdpo -o "$po" vantel.drv 2>/dev/null; done)
untranslated=$(grep -h -B1 '^msgstr "TRANSLATE' "$work"/source/po/*.po | grep '^msgid' | sort -u || true)
[ -z "$untranslated" ] || fail "texts of ppd/vantel.drv missing from ppd/po/*.po:"$'\n'"$untranslated"

# libcups shows each option in the user's language (LANG), as print dialogs do: every
# option's text is another than the English one. (ppdc writes no translation for
# PageRegion, which dialogs do not show; they show PageSize.)
for ppd in "${ppds[@]}"; do
  LANG=C "$dump" "$ppd" | grep '^option ' | grep -v '^option PageRegion ' >"$work/en"
  for language in de es fr; do
    LANG=$language.UTF-8 "$dump" "$ppd" | grep '^option ' >"$work/$language"
    same=$(grep -Fx -f "$work/en" "$work/$language" || true)
    [ -z "$same" ] || fail "$(basename "$ppd"), LANG=$language: options shown in English:"$'\n'"$same"
  done
done

# cupstestppd looks for the PPD's filters and pre-filter under its root folder; 0755 as
# the scheduler wants.
mkdir -p "$work/root/usr/lib/cups/filter"
install -m 0755 "$filter" "$work/root/usr/lib/cups/filter/rastertovantel"
install -m 0755 "$prefilter" "$work/root/usr/lib/cups/filter/pdftolabel"
install -m 0755 "$command_filter" "$work/root/usr/lib/cups/filter/commandtovantel"
for ppd in "${ppds[@]}"; do
  status=0
  cupstestppd -R "$work/root" "$ppd" >"$work/report" 2>&1 || status=$?
  unexplained=$(grep -v -e ': PASS$' \
    -e '^ *WARN *Size "w[0-9]*h[0-9]*" should be the Adobe standard name ' "$work/report" || true)
  if [ "$status" -ne 0 ] || [ -n "$unexplained" ]; then
    fail "cupstestppd $(basename "$ppd") exited $status:"
    cat "$work/report"
  fi
done

[ "$failures" -eq 0 ] || exit 1
echo "PPDs up to date with ppd/vantel.drv, translated into de, es and fr;" \
  "cupstestppd: PASS with the known warnings only"
