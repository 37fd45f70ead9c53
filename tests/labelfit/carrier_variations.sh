#!/usr/bin/env bash
# Carrier pages of the kind browser_page.sh prints, in random variations, through
# pdftolabel for a 4 x 6 in queue: the page (Letter, A4, Letter lying), where the label is
# and whether it lies, the white bands between its sections, its codes as pictures or
# paths, a line of text turned along its edge, a receipt column beside it (none, narrow or
# wide, short or tall, near or far), the instructions (under a cut line, over it, beside
# the label under the receipt, none) and a caption line over the label. Each page must
# give one label: the label's own parts, all of them, and nothing outside its place on the
# page. A caption that fits on the label with the label is printed with it, as the rule
# says; those pages are counted apart.
#
#   carrier_variations.sh PDFTOLABEL [PAGES [SEED]]     (default 20 pages, seed 1)
#
# Prints a line for each page that fails and the counts; exits 1 when any page fails, 77
# (skipped) without chromium, zint or ImageMagick.
set -euo pipefail
prefilter=$(readlink -f "$1")
pages=${2:-20}
RANDOM=${3:-1}
here=$(cd "$(dirname "$0")" && pwd)
for tool in chromium zint identify; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
out=$(mktemp -d /tmp/vantel-carrier-variations.XXXXXX)
trap 'rm -rf "$out"' EXIT
source "$here/browser_page.sh"

# Each draw is made in this shell, never in a subshell (which bash seeds anew), so that a
# seed gives the same pages: VAR set to a number between A and B, or to one of CHOICES.
between() {  # var a b
  local -n into=$1
  local r=$RANDOM
  into=$(awk -v a="$2" -v b="$3" -v r="$r" 'BEGIN { printf "%.2f", a + (b - a) * r / 32767 }')
}
pick() {  # var choice...
  local -n into=$1
  shift
  local choices=("$@")
  into=${choices[RANDOM % $#]}
}

failed=0 captions=0 made=0
for ((i = 1; i <= pages; i++)); do
  pick page letter letter a4 letter-lying
  pick lying 0 0 0 1
  pick strip 0 0 1
  pick codes png svg
  pick module 1.5 2
  pick rfont 7 8 9 10
  between g1 0.27 0.7
  between g2 0.27 0.7
  between g3 0.27 0.7
  gaps="$g1 $g2 $g3"
  between left 0.2 0.6
  between top 0.2 0.6
  between gutter 0.27 0.8
  pick instr below above beside none
  caption=""
  [ $((RANDOM % 3)) = 0 ] && caption="Attach this label to the parcel"
  [ "$instr" = above ] && between top 2.3 2.8
  # A caption 0.4 in over the label, on the page.
  [ -n "$caption" ] && [ "$instr" != above ] && between top 0.5 0.7
  pw=8.5 ph=11 w=4 h=6
  [ "$page" = a4 ] && pw=8.27 ph=11.69
  [ "$page" = letter-lying ] && pw=11 ph=8.5
  [ "$lying" = 1 ] && w=6 h=4
  # What the page has room for: a receipt at least 1.4 in wide beside the label, its lines
  # above the cut line (half of them when the instructions go under it), the instructions
  # under the cut line; a lying label's box, 6 in high before it is turned, on the page.
  between wide 1.2 3.3
  between narrow 1.2 2.2
  pick receipt 0 "$wide" "$narrow"
  receipt=$(awk -v r="$receipt" -v room="$(calc "$pw - $left - $w - $gutter - 0.25")" \
    'BEGIN { if (r > room) r = room; print (r < 1.4 ? 0 : r) }')
  lines=$((4 + RANDOM % 30))
  [ "$instr" = beside ] && { [ "$receipt" = 0 ] || [ "$lying" = 1 ]; } && instr=below
  lines=$(awk -v h="$h" -v f="$rfont" -v beside="$([ "$instr" = beside ] && echo 1 || echo 0)" \
    -v n="$lines" 'BEGIN { m = int((h - 0.5) * 72 / (f * 1.35)) - 1
      if (beside) m = int(m / 2); print (n > m ? m : n) }')
  bottom=$(calc "$top + $h")
  awk -v b="$bottom" -v ph="$ph" 'BEGIN { exit !(b + 1.9 > ph) }' && [ "$instr" = below ] && instr=none
  if awk -v b="$bottom" -v ph="$ph" -v t="$top" -v l="$lying" \
      'BEGIN { exit !(b + 0.2 > ph || (l && t + 6.1 > ph)) }'; then
    continue
  fi
  settings=(page="$page" left="$left" top="$top" gaps="$gaps" codes="$codes" module="$module"
    lying="$lying" strip="$strip" receipt="$receipt" lines="$lines" rfont="$rfont"
    gutter="$gutter" instr="$instr" caption="$caption")
  browser_page "v$i" "V$i" "${settings[@]}"
  made=$((made + 1))
  note=$(PPD=$here/../../ppd/vantel-203.ppd "$prefilter" 1 test "v$i" 1 PageSize=w288h432 \
    "$out/v$i.pdf" 2>&1 >/dev/null | grep 'pdftolabel: page' || true)
  # One label, inside the label's place on the page, and nothing of that place left off:
  # the label alone and whole. A caption printed with it reaches above the place.
  verdict=$(awk -v note="$note" -v l="$left" -v t="$top" -v w="$w" -v h="$h" 'BEGIN {
      if (note !~ /, 1 label: / || note ~ /page 2:/) { print "not one label"; exit }
      n = split(note, areas, /; /)
      for (i = 1; i <= n; i++) {
        if (!match(areas[i], /[0-9.]+ x [0-9.]+ in at [0-9.]+, [0-9.]+ in/)) continue
        s = substr(areas[i], RSTART, RLENGTH); gsub(/ x | in at |, | in/, " ", s)
        split(s, v, " "); x0 = v[3]; y0 = v[4]; x1 = x0 + v[1]; y1 = y0 + v[2]
        beside = x0 >= l - 0.02 && x1 <= l + w + 0.02 && y1 <= t + h + 0.02
        inside = beside && y0 >= t - 0.02
        if (areas[i] ~ /1 label: /) { label = inside; caption = beside && y0 < t && v[2] <= 6 }
        else if (inside) { print "a part of the label left off"; exit }
      }
      print label ? "ok" : caption ? "caption" : "not the label alone" }')
  case $verdict in
    ok) ;;
    caption) captions=$((captions + 1)) ;;
    *)
      failed=$((failed + 1))
      echo "FAIL: page $i ($verdict): ${settings[*]}"
      echo "  $note"
      ;;
  esac
done
echo "$made pages: $((made - failed - captions)) the label alone and whole," \
  "$captions with a caption that fits on the label, $failed wrong"
[ "$failed" -eq 0 ]
