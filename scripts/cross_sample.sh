#!/usr/bin/env bash
# Prints the bundled sample label with the filter of a cross-built Debian package, run
# under qemu-user-static, and with this machine's own build, and compares what the printer
# would get from each, byte for byte, with each PPD in each print mode; their messages to
# the scheduler too. Then names the conversion kernel the packaged filter ran: qemu logs
# every block of machine code it runs, and the package's debug symbols say which of them
# are the NEON kernel's. On armhf the filter is run once more on a processor without NEON,
# where the portable kernel must run and print the same bytes.
# Last the printer application of the package, under qemu, and this machine's own: each
# answers its web pages and `status`, and prints the sample label and the ramp, as PDFs and
# as PNGs, into the same bytes.
#
#   scripts/cross_sample.sh ARCH [DEB_DIR]     (ARCH: armhf, arm64; DEB_DIR: the folder
#                                              scripts/deb_build.sh wrote, build/deb/ARCH)
#
# The target's libraries come from scripts/cross_deps.sh. Files go to
# build/cross-sample-ARCH/; the filter's log to a private log folder of this run's own.
# The printer applications listen on 127.0.0.1:8760 and 8761: run the script in a network
# namespace of its own (unshare --net).
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
  app_deb=$(ls "$debs"/vantel-printer-app_*_"$arch".deb)
  scripts/build.sh build >/dev/null
  scripts/cross_deps.sh "$arch" "build-sysroot-$arch" >/dev/null
  out=build/cross-sample-$arch
  rm -rf "$out" && mkdir -p "$out/package" "$out/debug" "$out/app-package"
  dpkg-deb -x "$deb" "$out/package"
  dpkg-deb -x "$dbgsym" "$out/debug"
  dpkg-deb -x "$app_deb" "$out/app-package"
  echo "Packages: $deb $app_deb"
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

# The printer application: the package's under qemu and this machine's build, one after
# the other, each a server with its state in a folder of its own and a printer writing
# to files. Its pages are the ones every visit loads (the style sheet, sent with a date,
# is where a PAPPL whose time_t is not libcups's stops).
source scripts/private_app.sh
trap app_stop EXIT
printf '#!/bin/sh\nexec %s -L %s %s "$@"\n' "$qemu" "$PWD/$sysroot" \
  "$PWD/$out/app-package/usr/bin/vantel-printer-app" >"$out/app-package/run"
chmod +x "$out/app-package/run"
for document in label ramp; do
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r203 -o "$out/$document.png" \
    "$out/$document.pdf"
done
# Both find this machine's fonts (the sample's PDF names fonts it does not hold) through
# the same fontconfig setup, with a cache of this run's own: qemu reads a file from the
# target's root where the root has it, and the target's root has fonts.conf but no fonts.
fonts=$PWD/$out/fonts
mkdir -p "$fonts/cache"
cp -rL /etc/fonts/conf.d "$fonts/conf.d"
{
  printf '<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">\n'
  printf '<fontconfig>\n'
  for dir in /usr/share/fonts/*/; do
    [ -e "$sysroot$dir" ] || printf '  <dir>%s</dir>\n' "${dir%/}"
  done
  printf '  <cachedir>%s</cachedir>\n' "$fonts/cache"
  printf '  <include ignore_missing="yes">%s</include>\n</fontconfig>\n' "$fonts/conf.d"
} >"$fonts/fonts.conf"
export FONTCONFIG_FILE=$fonts/fonts.conf
documents=(label.pdf label.png ramp.pdf ramp.png)
for which in own "$arch"; do
  port=8760
  [ "$which" = own ] || port=8761
  program=$PWD/build/printer-app/vantel-printer-app
  [ "$which" = own ] || program=$PWD/$out/app-package/run
  work=$PWD/$out/app-$which
  if ! app_start "$program" "$work" "$port" 2>"$out/app-$which.start"; then
    echo "FAIL: printer application ($which): the server did not answer"
    cat "$out/app-$which.start"
    status=1
    continue
  fi
  app_run status >"$work/status.out" 2>&1 || true
  grep -q '^Running, ' "$work/status.out" ||
    { echo "FAIL: printer application ($which): status: $(head -1 "$work/status.out")"; status=1; }
  mkdir -p "$work/out"
  app_run add -d lab -m vantel_203dpi -v "file://$work/out?ext=prn" >/dev/null
  pages=()
  for page in / /style.css /lab /lab/media /lab/printing; do
    code=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port$page" || true)
    pages+=("$page $code")
  done
  for document in "${documents[@]}"; do
    app_run submit -d lab -o media=oe_w288h144_4x2in "$out/$document" >/dev/null
  done
  for ((i = 0; i < 600; i++)); do
    app_run jobs -d lab >"$work/jobs.out" 2>&1 || true
    [ "$(grep -c ' completed ' "$work/jobs.out")" -lt ${#documents[@]} ] || break
    grep -q -E ' (aborted|canceled|stopped) ' "$work/jobs.out" && break
    sleep 0.2
  done
  kill -0 "$APP_PID" 2>/dev/null ||
    { echo "FAIL: printer application ($which): the server stopped"; status=1; }
  app_stop
  echo "Printer application ($which): pages ${pages[*]}; status: $(head -1 "$work/status.out")"
  printf '%s\n' "${pages[@]}" | grep -v ' 200$' >/dev/null &&
    { echo "FAIL: printer application ($which): a page did not come"; status=1; }
done
for document in "${documents[@]}"; do
  own=$out/app-own/out/$document.prn
  if [ -s "$own" ] && cmp -s "$own" "$out/app-$arch/out/$document.prn"; then
    echo "Printer application: $document, 4x2in, vantel_203dpi: $(wc -c <"$own") bytes, the same"
  else
    echo "FAIL: printer application: $document: $own and $out/app-$arch/out/$document.prn" \
      "differ, or are missing"
    status=1
  fi
done
exit $status
