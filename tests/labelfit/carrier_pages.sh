#!/usr/bin/env bash
# Writes carrier pages as shipping sites hand them out, each label a 4 x 6 in shipping
# label with four barcodes made by zint (Code 128 with a 1-point module, which falls on
# no dot grid of a 203 or 300 dpi head; QR; DataMatrix; PDF417):
#
#   letter-topleft.pdf    Letter, one label with a border in the top-left corner
#   letter-two.pdf        Letter, two labels lying landscape, one above the other
#   a4.pdf                A4, one label without a border near the top-left corner
#   landscape-6x4.pdf     a 6 x 4 in page holding one label lying landscape
#   label-4x6.pdf         a 4 x 6 in page holding one label: nothing to do for a 4 x 6 queue
#
# Beside each, NAME.codes lists its codes in label order: "LABEL SYMBOLOGY DATA" a line.
#
#   carrier_pages.sh OUTDIR
set -euo pipefail
out=$1
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The EPS files of label ID's four codes, and its lines for NAME.codes. The module sizes
# in points: zint's EPS draws a module 2 units wide at --scale=1.
make_codes() {  # id label-number codes-file
  local id=$1 n=$2
  local c128="1ZV4A${id}0310072" qr="https://track.example/${id}/VANTEL"
  local dm="DM-${id}-420-90210" pdf417="SHIP ${id} VANTEL TEST DEPOT 100 MAIN ST SPRINGFIELD"
  zint -b CODE128 --whitesp=10 --height=60 --scale=0.5 --filetype=eps -o "$out/$id-c128.eps" \
    -d "$c128"
  zint -b QRCODE --quietzones --scale=1.25 --filetype=eps -o "$out/$id-qr.eps" -d "$qr"
  zint -b DATAMATRIX --quietzones --scale=1.5 --filetype=eps -o "$out/$id-dm.eps" -d "$dm"
  zint -b PDF417 --quietzones --scale=0.6 --filetype=eps -o "$out/$id-pdf417.eps" -d "$pdf417"
  printf '%s\n' "$n CODE-128 $c128" "$n QR-Code $qr" "$n DataMatrix $dm" "$n PDF417 $pdf417" >>"$3"
}

# PostScript that draws label ID upright on 288 x 432 points from the current origin;
# BORDER 1 draws a 0.75-point frame on the label's edge.
label_ps() {  # id border
  local id=$1
  cat <<PS
gsave
$([ "$2" = 1 ] && echo "0 setgray 0.75 setlinewidth 0.5 0.5 287 431 rectstroke")
/Helvetica findfont 9 scalefont setfont 12 412 moveto (FROM: VANTEL TEST DEPOT, 1 DOCK RD) show
/Helvetica-Bold findfont 14 scalefont setfont 12 384 moveto (SHIP TO: LABEL $id) show
/Helvetica findfont 11 scalefont setfont
12 368 moveto (100 MAIN ST) show 12 354 moveto (SPRINGFIELD 90210) show
0 setgray 12 336 264 2 rectfill
/eps { save /showpage {} def 4 1 roll translate (\$out/) exch concatstrings run restore } def
/concatstrings { exch dup length 2 index length add string dup dup 4 2 roll copy length
  4 -1 roll putinterval } def
(${id}-qr.eps) 196 236 eps
(${id}-dm.eps) 20 250 eps
(${id}-c128.eps) 24 120 eps
(${id}-pdf417.eps) 30 30 eps
grestore
PS
}

page() {  # name width height, then the page's PostScript on standard input
  {
    echo "%!PS"
    echo "<< /PageSize [$2 $3] >> setpagedevice"
    sed "s|\\\$out|$out|g"
    echo "showpage"
  } >"$out/$1.ps"
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dAutoRotatePages=/None \
    --permit-file-read="$out/" -o "$out/$1.pdf" "$out/$1.ps"
}

rm -f "$out"/*.codes
make_codes A1 1 "$out/letter-topleft.codes"
make_codes B1 1 "$out/letter-two.codes"
make_codes B2 2 "$out/letter-two.codes"
make_codes C1 1 "$out/a4.codes"
make_codes D1 1 "$out/landscape-6x4.codes"
make_codes E1 1 "$out/label-4x6.codes"

page letter-topleft 612 792 < <(echo "18 342 translate"; label_ps A1 1)
# Each label turned a quarter counter-clockwise: 432 wide, 288 high.
page letter-two 612 792 < <(
  echo "gsave 522 468 translate 90 rotate"; label_ps B1 1; echo "grestore"
  echo "gsave 522 90 translate 90 rotate"; label_ps B2 1; echo "grestore")
page a4 595 842 < <(echo "30 376 translate"; label_ps C1 0)
page landscape-6x4 432 288 < <(echo "432 0 translate 90 rotate"; label_ps D1 1)
page label-4x6 288 432 < <(label_ps E1 1)
rm -f "$out"/*.eps "$out"/*.ps
