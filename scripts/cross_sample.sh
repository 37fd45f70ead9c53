#!/usr/bin/env bash
# Prints the bundled sample label with the filter of a cross-built Debian package, run
# under qemu-user-static, and with this machine's own build, and compares what the printer
# would get from each, byte for byte, with each PPD in each print mode; their messages to
# the scheduler too. Then names the conversion kernel the packaged filter ran: qemu logs
# every block of machine code it runs, and the package's debug symbols say which of them
# are the NEON kernel's. On armhf the filter is run once more on a processor without NEON,
# where the portable kernel must run and print the same bytes.
#
#   scripts/cross_sample.sh ARCH [DEB_DIR]     (ARCH: armhf, arm64; DEB_DIR: the folder
#                                              scripts/deb_build.sh wrote, build/deb/ARCH)
#
# The target's libraries come from scripts/cross_deps.sh. Files go to
# build/cross-sample-ARCH/; the filter's log to a private log folder of this run's own.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=$1
debs=${2:-build/deb/$arch}
case "$arch" in
  arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64-static ;;
  armhf) triplet=arm-linux-gnueabihf qemu=qemu-arm-static ;;
  *) echo "cross_sample.sh: no cross build for \"$arch\" (arm64, armhf)" >&2; exit 2 ;;
esac
if [ -z "${VANTEL_CROSS_SAMPLE_PRIVATE_LOG:-}" ]; then
  deb=$(ls "$debs"/printer-driver-vantel_*_"$arch".deb)
  dbgsym=$(ls "$debs"/printer-driver-vantel-dbgsym_*_"$arch".deb)
  scripts/build.sh build >/dev/null
  scripts/cross_deps.sh "$arch" "build-sysroot-$arch" >/dev/null
  out=build/cross-sample-$arch
  rm -rf "$out" && mkdir -p "$out/package" "$out/debug"
  dpkg-deb -x "$deb" "$out/package"
  dpkg-deb -x "$dbgsym" "$out/debug"
  echo "Package: $deb"
  VANTEL_CROSS_SAMPLE_PRIVATE_LOG=1 exec tests/support/private_log.sh \
    /var/log/cups/korvel.log "$PWD/scripts/cross_sample.sh" "$@"
fi

out=build/cross-sample-$arch
sysroot=build-sysroot-$arch
packaged=$out/package/usr/lib/cups/filter/rastertovantel
run_packaged() {  # qemu options..., then the filter's arguments
  local options=()
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  "$qemu" "${options[@]}" -L "$sysroot" "$packaged" "$@"
}

# The sample label, and a label of the same size with a ramp of every gray level, for the
# print modes' thresholds and dithers at each level.
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$out/label.pdf" samples/label.ps
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o "$out/ramp.pdf" -c \
  '<< /PageSize [288 144] >> setpagedevice' \
  '0 1 255 { dup 255 div setgray 1.125 mul 0 1.125 144 rectfill } for showpage'
status=0
for document in label ramp; do
  for resolution in 203 300; do
    ppd=$out/package/usr/share/cups/model/vantel/vantel-$resolution.ppd
    export PPD=$ppd
    build/prefilter/pdftolabel 1 user sample 1 "" "$out/$document.pdf" \
      >"$out/fitted.pdf" 2>/dev/null
    raster=$out/$document-$resolution.ras
    cupsfilter -p "$ppd" -m application/vnd.cups-raster "$out/fitted.pdf" >"$raster" \
      2>/dev/null
    for mode in 5 0 2 3 4; do
      name=$out/$document-$resolution-mode$mode
      build/filter/rastertovantel 1 user sample 1 "PrintMode=$mode" "$raster" \
        >"$name.own.prn" 2>"$name.own.stderr"
      run_packaged -- 1 user sample 1 "PrintMode=$mode" "$raster" \
        >"$name.$arch.prn" 2>"$name.$arch.stderr"
      what="$document, vantel-$resolution.ppd, PrintMode=$mode"
      if cmp -s "$name.own.prn" "$name.$arch.prn" &&
        cmp -s "$name.own.stderr" "$name.$arch.stderr"; then
        echo "$what: $(wc -c <"$name.own.prn") bytes, the same"
      else
        echo "FAIL: $what: $name.own.* and $name.$arch.* differ"
        status=1
      fi
    done
  done
done

# The blocks of machine code run in the NEON kernel, by qemu's log of every block run (its
# address in the program) and the symbols of the package's debug file for the filter.
build_id=$(readelf -n "$packaged" | sed -n 's/^ *Build ID: //p')
debug=$out/debug/usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug
mapfile -t neon < <("$triplet-nm" -S "$debug" | awk '$4 ~ /PackRowNeon/ { print $1, $2 }')
[ ${#neon[@]} -gt 0 ] || { echo "FAIL: $debug has no NEON kernel"; exit 1; }
neon_blocks() {  # document mode qemu-options...: blocks run in the NEON kernel printing
  local document=$1 mode=$2 base=0 count=0 n pc a s range
  shift 2
  while read -r n pc; do
    if [ "$n" = base ]; then base=$((pc)); continue; fi
    for range in "${neon[@]}"; do
      read -r a s <<<"$range"
      if (( 16#$pc - base >= 16#$a && 16#$pc - base < 16#$a + 16#$s )); then
        count=$((count + n))
      fi
    done
  done < <(PPD=$out/package/usr/share/cups/model/vantel/vantel-203.ppd \
    run_packaged "$@" -d nochain,exec,page -D /dev/stderr -- 1 user sample 1 \
      "PrintMode=$mode" "$out/$document-203.ras" 2>&1 >"$out/kernel-check.prn" |
    awk -F'[][/]' '/^start_code/ { split($0, f, " "); base = f[2] }
                   /^Trace/ { blocks[$3]++ }
                   END { print "base", base; for (pc in blocks) print blocks[pc], pc }')
  echo "$count"
}
blocks=$(neon_blocks label 5)
echo "Kernel: the sample label, 203 dpi: $blocks blocks of machine code run in the NEON" \
  "kernel ($qemu's default processor)"
[ "$blocks" -gt 0 ] || { echo "FAIL: the NEON kernel did not run"; status=1; }
# 32-bit ARM processors without NEON run the portable kernel: it must print the same.
if [ "$arch" = armhf ]; then
  blocks=$(neon_blocks ramp 2 -cpu max,neon=off)
  if [ "$blocks" -eq 0 ] && cmp -s "$out/kernel-check.prn" "$out/ramp-203-mode2.own.prn"; then
    echo "Kernel: the ramp, 203 dpi, PrintMode=2, without NEON (-cpu max,neon=off): none run" \
      "in the NEON kernel, and the same bytes"
  else
    echo "FAIL: the ramp without NEON: $blocks blocks run in the NEON kernel, or other bytes"
    status=1
  fi
fi
exit $status
