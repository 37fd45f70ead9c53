# shellcheck shell=bash
# The shell tests' failed checks, and checks of label command streams on the text
# `queue_tool dump` writes of them. Source from bash; each failed check (fail WHY) counts
# in $failures and says why.

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The lines of a label before its BITMAP.
setup_lines() {  # width_mm height_mm speed density
  printf '%s\n' "SIZE $1mm,$2mm" "GAP 0.120,0.000" "SPEED $3" "DENSITY $4" "DIRECTION 0,0" \
    "REFERENCE 0,0" "OFFSET 0.000" "SHIFT 0" "SET PEEL OFF" "SET CUTTER OFF" \
    "SET PARTIAL_CUTTER OFF" "SET TEAR ON" "CLS"
}

# The commands of a dump, without the lines that describe the bitmaps.
commands() { grep -v '^  ' "$1"; }

# Checks a "printed dots: N, box X0,Y0-X1,Y1" line against a box, each edge within 2 dots.
expect_box() {
  local what=$1 line=$2 want=$3
  local got=${line##*box }
  if ! awk -v got="$got" -v want="$want" 'BEGIN {
         n = split(got, g, /[,-]/); split(want, w, /[,-]/)
         if (n != 4) exit 1
         for (i = 1; i <= 4; i++) if (g[i] - w[i] > 2 || w[i] - g[i] > 2) exit 1 }'; then
    fail "$what: printed dots in '${line#  }', expected a box of $want"
  fi
}

# Checks a "region ...: N of M printed" line: the printed share in percent within [lo, hi].
expect_share() {
  local what=$1 line=$2 lo=$3 hi=$4
  if ! awk -v line="$line" -v lo="$lo" -v hi="$hi" 'BEGIN {
         if (!match(line, /: [0-9]+ of [0-9]+/)) exit 1
         split(substr(line, RSTART + 2, RLENGTH - 2), n, / of /)
         share = 100 * n[1] / n[2]; exit !(n[2] > 0 && share >= lo && share <= hi) }'; then
    fail "$what: ${line#  }, expected $lo-$hi % printed"
  fi
}
