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
# and pages as carriers' and marketplaces' sites lay them out, the label among other things:
#
#   letter-receipt.pdf    Letter: the label top-left, a receipt column beside it, a dashed
#                         "cut along this line" rule across the page, instructions under it
#   letter-slip.pdf       Letter: a 6 x 4 in label lying in the top half, a packing slip
#                         table in the bottom half
#   a4-cutframe.pdf       A4: the label in a dashed cut frame 4.25 x 6.25 in with scissors on
#                         it, a caption above it, "Page 1 of 1" in a corner
#   landscape-receipt.pdf Letter lying: the label, a receipt beside it
#   letter-two-cut.pdf    Letter: two labels lying, a dashed cut line between them
#   a4-header.pdf         A4: a shop's header text, a 6 x 4 in label lying under it
#   letter-gaps.pdf       Letter: a label without a frame whose own white gaps are wider
#                         than a quarter inch
#   letter-oversize.pdf   Letter: a label 5 % larger than 4 x 6 in
#   instructions.pdf      Letter: instructions only, no label
#   sheet-4x2.pdf         Letter: ten 4 x 2 in address labels (for a 4 x 2 in queue)
#   letter-scan.pdf       Letter scanned at 300 dpi: the label and its codes an image on
#                         light gray noise
#
# and pages as a browser prints them (headless Chromium), the label without a frame, its
# sections parted by white bands wider than a quarter inch, with a Code 128, a QR code and
# a DataMatrix (no PDF417), as pictures or as paths:
#
#   browser-receipt.pdf     Letter: the label top-left, a short receipt column beside it, a
#                           dashed cut line across the page, instructions under it; codes
#                           as pictures
#   browser-receipt-svg.pdf the same with codes as paths, other gaps, a receipt column as
#                           tall as the label and nearer to it, a line of text turned along
#                           the label's right edge
#   browser-instr-above.pdf Letter: instructions and the cut line above the label, a wide
#                           receipt beside it, gaps of half an inch
#   browser-a4.pdf          A4: a caption line over the label, a receipt and instructions
#                           beside it, the cut line under it
#   browser-lying.pdf       Letter: the label lying (6 x 4 in, turned), a receipt beside it,
#                           the cut line and instructions under it
#   browser-landscape.pdf   Letter lying (11 x 8.5 in): the label, a wide receipt beside it
#   browser-alone.pdf       Letter: the label alone, gaps of 0.5 to 0.7 in
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
# BORDER 1 draws a 0.75-point frame on the label's edge, 2 a black service bar across its
# top edge and a rule across its bottom edge (ink to the label's edges, but no frame).
# The codes' heights may be given: QR, DataMatrix, Code 128, PDF417.
label_ps() {  # id border [qr dm c128 pdf417]
  local id=$1 qr=${3:-236} dm=${4:-250} c128=${5:-120} pdf417=${6:-30}
  cat <<PS
gsave
$([ "$2" = 1 ] && echo "0 setgray 0.75 setlinewidth 0.5 0.5 287 431 rectstroke")
$([ "$2" = 2 ] && echo "0 setgray 0 424 288 8 rectfill 0 0 288 2 rectfill")
/Helvetica findfont 9 scalefont setfont 12 412 moveto (FROM: VANTEL TEST DEPOT, 1 DOCK RD) show
/Helvetica-Bold findfont 14 scalefont setfont 12 384 moveto (SHIP TO: LABEL $id) show
/Helvetica findfont 11 scalefont setfont
12 368 moveto (100 MAIN ST) show 12 354 moveto (SPRINGFIELD 90210) show
0 setgray 12 336 264 2 rectfill
/eps { save /showpage {} def 4 1 roll translate (\$out/) exch concatstrings run restore } def
/concatstrings { exch dup length 2 index length add string dup dup 4 2 roll copy length
  4 -1 roll putinterval } def
(${id}-qr.eps) 196 $qr eps
(${id}-dm.eps) 20 $dm eps
(${id}-c128.eps) 24 $c128 eps
(${id}-pdf417.eps) 30 $pdf417 eps
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

# The codes of label ID as pictures, for a label whose codes are embedded images.
make_code_images() {  # id
  local id=$1 f
  for f in c128 qr dm pdf417; do
    gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=pnggray -r600 -o "$out/$id-$f.png" \
      "$out/$id-$f.eps"
    convert "$out/$id-$f.png" -density 600 -units PixelsPerInch "eps3:$out/$id-$f.eps"
  done
}

# Lines of 9-point text from X, Y down, 12 points apart.
text_lines() {  # x y font size line...
  local x=$1 y=$2 font=$3 size=$4
  shift 4
  echo "/$font findfont $size scalefont setfont"
  for line in "$@"; do
    echo "$x $y moveto ($line) show"
    y=$((y - size - 3))
  done
}

receipt_ps() {  # x y
  text_lines "$1" "$2" Helvetica-Bold 11 "RECEIPT"
  text_lines "$1" $(($2 - 18)) Helvetica 8 "Order 112-4455667" "Ship date: Dec 09, 2026" \
    "Service: Ground Advantage" "Weight: 2 lb 3 oz" "Postage: \$8.45" "Insurance: \$0.00" \
    "Total paid: \$8.45" "Paid with card ending 4242"
}

instructions_ps() {  # y
  text_lines 36 "$1" Helvetica-Bold 11 "Instructions"
  text_lines 36 $(($1 - 18)) Helvetica 9 \
    "1. Print this page at 100 % scale on plain white paper. Do not reduce, enlarge or fit the page to the paper; a label printed smaller" \
    "may not scan. 2. Cut along the dashed line and do not fold the label: the barcodes must stay flat and readable across their whole width." \
    "3. Attach the label to the largest side of the parcel with clear tape, and do not cover the codes with tape that shines or with other labels." \
    "4. Drop the parcel at any depot or hand it to the driver. Keep the receipt for your records until the parcel has been delivered." \
    "Each label is for one parcel only; copies are void and may be charged. Questions about this shipment: help.example or 0800 000 000."
}

dashed_line() {  # x0 y x1
  echo "gsave 0 setgray 0.75 setlinewidth [6 3] 0 setdash $1 $2 moveto $3 $2 lineto stroke grestore"
}

# Scissors on a cut line at X, Y.
scissors() {
  echo "/ZapfDingbats findfont 14 scalefont setfont $1 $(($2 - 5)) moveto (\042) show"
}

page letter-topleft 612 792 < <(echo "18 342 translate"; label_ps A1 1)
# Each label turned a quarter counter-clockwise: 432 wide, 288 high.
page letter-two 612 792 < <(
  echo "gsave 522 468 translate 90 rotate"; label_ps B1 1; echo "grestore"
  echo "gsave 522 90 translate 90 rotate"; label_ps B2 1; echo "grestore")
page a4 595 842 < <(echo "30 376 translate"; label_ps C1 0)
page landscape-6x4 432 288 < <(echo "432 0 translate 90 rotate"; label_ps D1 1)
page label-4x6 288 432 < <(label_ps E1 1)
make_codes F1 1 "$out/letter-receipt.codes"
make_codes G1 1 "$out/letter-slip.codes"
make_codes H1 1 "$out/a4-cutframe.codes"
make_codes I1 1 "$out/landscape-receipt.codes"
make_codes J1 1 "$out/letter-two-cut.codes"
make_codes J2 2 "$out/letter-two-cut.codes"
make_codes K1 1 "$out/a4-header.codes"
make_codes L1 1 "$out/letter-gaps.codes"
make_codes M1 1 "$out/letter-oversize.codes"
make_codes N1 1 "$out/letter-scan.codes"
make_code_images K1
: >"$out/instructions.codes"
: >"$out/sheet-4x2.codes"

page letter-receipt 612 792 < <(
  echo "gsave 18 342 translate"; label_ps F1 1; echo "grestore"
  receipt_ps 340 770
  dashed_line 18 318 594; scissors 30 318
  text_lines 250 304 Helvetica-Oblique 8 "Cut along this line"
  instructions_ps 270)
page letter-slip 612 792 < <(
  echo "gsave 522 468 translate 90 rotate"; label_ps G1 1; echo "grestore"
  text_lines 36 420 Helvetica-Bold 14 "PACKING SLIP"
  text_lines 36 402 Helvetica 9 "Order 112-4455667, placed Dec 07, 2026" "Ship to: LABEL G1, 100 MAIN ST, SPRINGFIELD 90210"
  echo "0 setgray 0.5 setlinewidth"
  for y in 360 340 320 300 280 260; do echo "36 $y moveto 576 $y lineto stroke"; done
  for x in 36 96 456 516 576; do echo "$x 260 moveto $x 360 lineto stroke"; done
  text_lines 40 346 Helvetica-Bold 9 "Qty"; text_lines 100 346 Helvetica-Bold 9 "Item"
  text_lines 460 346 Helvetica-Bold 9 "Price"; text_lines 520 346 Helvetica-Bold 9 "Total"
  text_lines 40 326 Helvetica 9 "1" "2" "1" "1"
  text_lines 100 326 Helvetica 9 "Thermal labels 4 x 6 in, roll of 500" "Label core adapter" \
    "Cleaning card" "Gift note"
  text_lines 460 326 Helvetica 9 "\$24.00" "\$3.50" "\$2.00" "\$0.00"
  text_lines 520 326 Helvetica 9 "\$24.00" "\$7.00" "\$2.00" "\$0.00"
  text_lines 36 230 Helvetica 9 "Thank you for your order. Returns within 30 days: see the back of this slip.")
page a4-cutframe 595 842 < <(
  echo "gsave 153.5 205 translate"; label_ps H1 1; echo "grestore"
  echo "gsave 0 setgray 0.75 setlinewidth [6 3] 0 setdash 144.5 196 306 450 rectstroke grestore"
  scissors 150 660
  text_lines 170 656 Helvetica 9 "Cut along the dashed line and attach the label to the parcel"
  text_lines 500 30 Helvetica 8 "Page 1 of 1")
page landscape-receipt 792 612 < <(
  echo "gsave 36 90 translate"; label_ps I1 1; echo "grestore"
  receipt_ps 380 520)
page letter-two-cut 612 792 < <(
  echo "gsave 522 468 translate 90 rotate"; label_ps J1 1; echo "grestore"
  echo "gsave 522 90 translate 90 rotate"; label_ps J2 1; echo "grestore"
  dashed_line 36 423 576; scissors 40 423)
page a4-header 595 842 < <(
  text_lines 36 800 Helvetica-Bold 16 "VANTEL TEST SHOP"
  text_lines 36 784 Helvetica 9 "Order 4711 - thank you for shopping with us - shop.example"
  echo "gsave 513.5 470 translate 90 rotate"; label_ps K1 0; echo "grestore")
# White bands of 0.45 to 0.75 in across the label, between its codes.
page letter-gaps 612 792 < <(echo "gsave 18 342 translate"; label_ps L1 0 200 214 90 10; echo "grestore")
page letter-oversize 612 792 < <(
  echo "gsave 18 318 translate 1.05 1.05 scale"; label_ps M1 2; echo "grestore")
page instructions 612 792 < <(
  text_lines 36 740 Helvetica-Bold 16 "How to send your parcel"
  instructions_ps 700; instructions_ps 560; instructions_ps 420)
page sheet-4x2 612 792 < <(
  for row in 0 1 2 3 4; do
    for col in 0 1; do
      n=$((row * 2 + col + 1))
      x=$((16 + col * 297)); y=$((756 - row * 144))
      text_lines $((x + 14)) $((y - 34)) Helvetica-Bold 12 "ADDRESSEE $n"
      text_lines $((x + 14)) $((y - 50)) Helvetica 11 "$n$n Harbour Road" "Springfield 9021$((n % 10))"
    done
  done)
source "$(dirname "$0")/browser_page.sh"
browser_page browser-receipt P1
browser_page browser-receipt-svg P2 codes=svg module=1.5 gaps="0.3 0.6 0.45" receipt=1.5 lines=30 gutter=0.3 \
  strip=1
browser_page browser-instr-above P3 codes=svg top=2.4 gaps="0.5 0.5 0.5" receipt=3.2 lines=6 rfont=10 instr=above
browser_page browser-a4 P4 page=a4 left=0.4 top=0.7 module=1.5 gaps="0.28 0.4 0.3" receipt=2.4 lines=8 \
  instr=beside caption="Cut out the label and attach it to the largest side of the parcel"
browser_page browser-lying P5 lying=1 gaps="0.4 0.4 0.4" receipt=1.5 lines=12 gutter=0.35
browser_page browser-landscape P6 page=letter-lying left=0.5 top=0.5 receipt=3 lines=14 rfont=9
browser_page browser-alone P7 codes=svg gaps="0.5 0.7 0.6" receipt=0 instr=none
rm -rf "$out/chromium"
page letter-scan-vector 612 792 < <(echo "gsave 18 342 translate"; label_ps N1 1; echo "grestore")
# The scan: the page drawn at 300 dpi, multiplied with light gray noise, as a picture.
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r300 -o "$out/scan.png" "$out/letter-scan-vector.pdf"
convert "$out/scan.png" \( -size 2550x3300 xc:gray91 -attenuate 0.6 +noise Uniform \) \
  -compose multiply -composite -density 300 -units PixelsPerInch "eps3:$out/scan.eps"
page letter-scan 612 792 < <(echo "gsave /showpage {} def ($out/scan.eps) run grestore")
rm -f "$out/letter-scan-vector.pdf" "$out"/*.png
rm -f "$out"/*.eps "$out"/*.ps
