#!/usr/bin/env bash
# Instructions per pixel of each conversion kernel on 64-bit and 32-bit ARM, counted under
# qemu (run one instruction per block and log every block run): time under an emulator
# means nothing, instruction counts do. Each figure is the count of a run converting a
# 1200 x 128 label (4 inches at 300 dpi) REPEATS times less that of a run converting it
# 0 times, over REPEATS x 1200 x 128 pixels. Needs the cross compilers
# (crossbuild-essential-arm64, -armhf) and qemu-user-static; nothing else of the target.
#   bench/kernel_instructions.sh [REPEATS]
set -euo pipefail
cd "$(dirname "$0")/.."
repeats=${1:-2}
width=1200 height=128
work=$(mktemp -d /tmp/vantel-instructions.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The release build's optimisation (RelWithDebInfo: -O2), with no other target library.
sources=(bench/kernel_instructions.cpp bench/label_page.cpp core/gray2bytes.cpp)
count() {  # qemu binary kernel mode repeats: instructions run
  $1 -singlestep -d nochain,exec -D /dev/stderr "$2" "$3" "$4" "$5" "$width" "$height" \
    2>&1 >/dev/null | grep -c '^Trace'
}
printf '%-8s %-9s %s\n' arch kernel "instructions per pixel, modes 0 2 3 4 5"
for target in aarch64-linux-gnu:qemu-aarch64-static arm-linux-gnueabihf:qemu-arm-static; do
  triplet=${target%%:*} qemu=${target#*:}
  "$triplet-g++" -std=c++20 -O2 -DNDEBUG -I. "${sources[@]}" -o "$work/$triplet"
  for kernel in portable neon; do
    line=
    for mode in 0 2 3 4 5; do
      base=$(count "$qemu -L /usr/$triplet" "$work/$triplet" "$kernel" "$mode" 0)
      run=$(count "$qemu -L /usr/$triplet" "$work/$triplet" "$kernel" "$mode" "$repeats")
      line+=$(awk -v d=$((run - base)) -v n=$((repeats * width * height)) \
        'BEGIN { printf " %6.3f", d / n }')
    done
    printf '%-8s %-9s%s\n' "${triplet%%-*}" "$kernel" "$line"
  done
done
