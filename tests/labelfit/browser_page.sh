# shellcheck shell=bash
# A carrier page as a browser prints it (headless Chromium's "print to PDF"), for
# carrier_pages.sh and carrier_variations.sh: source this, set `out` to the folder to
# write into and call browser_page. Text is text; the codes (Code 128, QR, DataMatrix) are
# drawn by zint as pictures or as SVG paths. The label is not framed; its sections (title
# and sender, address, Code 128, then QR and DataMatrix) are parted by white bands wider
# than a quarter inch. Settings, NAME=VALUE after the id:
#   page      letter, a4 or letter-lying (11 x 8.5 in)
#   left top  the label's top-left corner on the page, inches
#   gaps      the white bands between its sections, inches: "above-address above-code
#             above-QR"; the QR code fills the rest of the label, up to 2.3 in
#   codes     png (pictures) or svg (paths); module: a Code 128 module in CSS pixels
#   lying     1: the label lies on the page, turned a quarter (6 in wide, 4 in high)
#   receipt   the width in inches of a receipt column beside the label (0: none); lines,
#             rfont: its lines and their size in points; gutter: the white between them
#   instr     the instructions: below the label under a dashed cut line across the page,
#             above it over the cut line, beside it under the receipt (the cut line under
#             the label), or none
#   caption   a line of text just above the label
#   strip     1: a line of text turned a quarter along the label's right edge
# NAME.codes gets the label's codes, as carrier_pages.sh writes them.

# Arithmetic for the page's CSS: an awk expression, printed with 4 digits.
calc() { awk "BEGIN { printf \"%.4g\", ($1) }"; }

browser_page() {  # name id [setting=value...]
  local name=$1 id=$2 page=letter left=0.25 top=0.25 gaps="0.35 0.35 0.35" codes=png module=2
  local lying=0 receipt=2.2 lines=10 rfont=8 gutter=0.4 instr=below caption="" strip=0 kv
  shift 2
  for kv in "$@"; do local "${kv%%=*}=${kv#*=}"; done
  local c128="1ZV4A${id}0310072" qr="https://track.example/${id}/VANTEL" dm="DM-${id}-420-90210"
  local pw=8.5 ph=11 g1 g2 g3 w h i qr_in right bottom
  [ "$page" = a4 ] && pw=8.27 ph=11.69
  [ "$page" = letter-lying ] && pw=11 ph=8.5
  read -r g1 g2 g3 <<<"$gaps"
  # Title and sender, address, Code 128 and its caption take 2.37 in of the label's 5.7 in
  # inside its margins; the QR code fills it to 5.65 in, up to 2.3 in.
  qr_in=$(calc "5.65 - 2.37 - $g1 - $g2 - $g3 > 2.3 ? 2.3 : 5.65 - 2.37 - $g1 - $g2 - $g3")
  right=$(calc "$left + $([ "$lying" = 1 ] && echo 6 || echo 4)")
  bottom=$(calc "$top + $([ "$lying" = 1 ] && echo 4 || echo 6)")
  printf '%s\n' "1 CODE-128 $c128" "1 QR-Code $qr" "1 DataMatrix $dm" >"$out/$name.codes"
  zint -b CODE128 --height=40 --scale=1 --notext --filetype="$codes" -o "$out/$id-c128.$codes" -d "$c128"
  zint -b QRCODE --scale=1 --quietzones --filetype="$codes" -o "$out/$id-qr.$codes" -d "$qr"
  zint -b DATAMATRIX --scale=1 --quietzones --filetype="$codes" -o "$out/$id-dm.$codes" -d "$dm"
  # A code as a picture or as an inline SVG, WIDTH x HEIGHT in CSS units, or a Code 128 with
  # `module` CSS pixels a module (zint draws a module 2 units wide) when they are empty.
  code() {  # kind [width height]
    local f=$out/$id-$1.$codes size
    if [ "$codes" = png ]; then
      read -r w h < <(identify -format '%w %h' "$f")
    else
      read -r w h < <(sed -n 's/^<svg width="\([0-9]*\)" height="\([0-9]*\)".*/\1 \2/p' "$f")
    fi
    size="width: ${2:-$(calc "$w * $module / 2")px}; height: ${3:-$(calc "$h * $module / 2")px}"
    if [ "$codes" = png ]; then
      echo "<img class=$1 src=\"$f\" style=\"$size\">"
    else
      sed -n '/^<svg/,$p' "$f" |
        sed "s|^<svg width=\"$w\" height=\"$h\"|<svg class=$1 viewBox=\"0 0 $w $h\" style=\"$size\"|"
    fi
  }
  local place="left: ${left}in; top: ${top}in"
  [ "$lying" = 1 ] && place="$place; transform-origin: 0 0; transform: translateY(4in) rotate(-90deg)"
  {
    cat <<HTML
<!DOCTYPE html><html><head><meta charset="utf-8"><style>
@page { size: ${pw}in ${ph}in; margin: 0 }
body { margin: 0; font-family: "DejaVu Sans", sans-serif; height: ${ph}in; overflow: hidden; }
.label { position: absolute; $place; width: 4in; height: 6in; box-sizing: border-box; padding: 0.15in; }
.title { font: bold 24pt "DejaVu Sans", sans-serif; margin: 0; }
.from { font-size: 7.5pt; margin: 0.06in 0 0 0; }
.to { margin-top: ${g1}in; font-size: 14pt; line-height: 1.15; }
.to b { font-size: 9pt; }
.track { margin-top: ${g2}in; font-size: 8pt; text-align: center; }
.track .c128 { display: block; margin: 0.04in auto 0 auto; }
.codes { margin-top: ${g3}in; display: flex; justify-content: space-between; align-items: flex-end; }
.receipt { position: absolute; top: ${top}in; left: $(calc "$right + $gutter")in; width: ${receipt}in; font-size: ${rfont}pt; line-height: 1.35; white-space: nowrap; }
.receipt h2 { font-size: $((rfont + 3))pt; margin: 0 0 0.06in 0; }
.cut { position: absolute; left: 0.25in; right: 0.25in; border-top: 1px dashed black; }
.cut span { position: absolute; top: 0.04in; left: 3.3in; font-size: 8pt; font-style: italic; }
.instr { position: absolute; font-size: 9pt; line-height: 1.3; }
.instr h3 { font-size: 11pt; margin: 0 0 0.05in 0; }
.strip { position: absolute; right: 0.03in; top: 1.7in; writing-mode: vertical-rl; font-size: 7pt; }
.caption { position: absolute; left: ${left}in; top: $(calc "$top - 0.4")in; font-size: 9pt; }
</style></head><body>
<div class=label>
 <p class=title>PRIORITY 2-DAY</p>
 <p class=from>FROM: VANTEL TEST DEPOT, 1 DOCK RD, SPRINGFIELD 90210</p>
 <div class=to><b>SHIP TO:</b><br>LABEL ${id}<br>100 MAIN ST APT 4<br>SPRINGFIELD IL 90210-1234</div>
 <div class=track>TRACKING # ${c128}$(code c128)</div>
 <div class=codes>$(code qr "${qr_in}in" "${qr_in}in")$(code dm 1.1in 1.1in)</div>
 $([ "$strip" = 1 ] && echo "<div class=strip>ROUTE 420 90210 / SORT 12-B</div>")
</div>
HTML
    [ -z "$caption" ] || echo "<div class=caption>$caption</div>"
    if [ "$receipt" != 0 ]; then
      echo "<div class=receipt><h2>RECEIPT</h2>"
      for ((i = 1; i <= lines; i++)); do echo "Postage paid 8.50 #$((4410 + i))<br>"; done
      echo "</div>"
    fi
    local text="1. Print this page at 100 % on plain white paper. 2. Cut along the dashed line and do not fold the label. 3. Attach the label to the largest side of the parcel with clear tape, and do not cover the codes. 4. Drop the parcel at any depot or hand it to the driver. Keep the receipt until the parcel has been delivered. Each label is for one parcel only; copies are void."
    local cut="<div class=cut style=\"top: $(calc "$bottom + 0.3")in\"><span>&#9986; Cut along this line</span></div>"
    local across="left: 0.5in; width: $(calc "$pw - 1")in"
    case $instr in
      below) echo "$cut<div class=instr style=\"$across; top: $(calc "$bottom + 0.7")in\"><h3>Instructions</h3>$text</div>" ;;
      above)
        echo "<div class=instr style=\"$across; top: 0.4in\"><h3>Instructions</h3>$text</div>"
        echo "<div class=cut style=\"top: $(calc "$top - 0.5")in\"><span>&#9986; Cut along this line</span></div>" ;;
      beside)  # 0.4 in under the receipt
        echo "$cut<div class=instr style=\"left: $(calc "$right + $gutter")in; width: $(calc "$pw - $right - $gutter - 0.4")in; top: $(calc "$top + ($lines * $rfont * 1.35 + $rfont + 9) / 72 + 0.4")in\"><h3>Instructions</h3>$text</div>" ;;
    esac
    echo "</body></html>"
  } >"$out/$name.html"
  chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer \
    --user-data-dir="$out/chromium" --print-to-pdf="$out/$name.pdf" "file://$out/$name.html" \
    >/dev/null 2>&1
  [ -s "$out/$name.pdf" ] || { echo "chromium did not print $name" >&2; return 1; }
  rm -f "$out/$name.html" "$out/$id"-*."$codes"
}
