#!/usr/bin/env bash
# Compiles the driver information file ppd/vantel.drv with CUPS's PPD compiler (ppdc, from
# cups-ppdc) into the driver's PPD files, one per print-head resolution, in ppd/ (or the
# folder given). Each PPD carries its German, French and Spanish texts from ppd/po/*.po.
# The PPDs are kept in the repository; run this after changing the .drv or a .po file and
# commit the results. tests/e2e/ppd_test.sh checks that they are up to date.
#
#   scripts/make_ppd.sh [FOLDER]   write vantel-203.ppd and vantel-300.ppd
#   scripts/make_ppd.sh --po       add the .drv's new texts to each .po file, to translate
set -euo pipefail
cd "$(dirname "$0")/../ppd"
languages=(de es fr)

if [ "${1:-}" = --po ]; then
  # ppdpo keeps the entries a catalog has and adds the missing ones, marked "TRANSLATE".
  for language in "${languages[@]}"; do ppdpo -o "po/$language.po" vantel.drv; done
  grep -n TRANSLATE po/*.po || echo "Nothing new to translate"
  exit 0
fi

out=$(mkdir -p "${1:-.}" && cd "${1:-.}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# ppdc names each file by the model's PCFileName (VANTL203.PPD); the queues and the
# README know them as vantel-<dpi>.ppd. The catalogs' paths in the .drv are relative to
# this folder.
ppdc -l "en,$(IFS=,; echo "${languages[*]}")" -d "$work" vantel.drv
for dpi in 203 300; do
  mv "$work/vantl$dpi.ppd" "$out/vantel-$dpi.ppd"
done
