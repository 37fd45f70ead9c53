#!/usr/bin/env bash
# Cross-builds the project for ARCH (arm64 or armhf) and runs its tests under
# qemu-user-static, with no binfmt handler needed: the unit tests and the filter's,
# the pre-filter's and the printer application's end-to-end tests, each test program and
# each program it starts run by qemu with the target's libraries (scripts/cross_deps.sh).
# The tests that drive CUPS and Debian's tools from shell scripts run on the build
# machine only.
#
#   scripts/cross_test.sh ARCH [--quick]
#
# --quick (CI): the unit tests and a handful of the filter's end-to-end cases.
# Builds into build-ARCH/, the target's root in build-sysroot-ARCH/.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=$1
quick=${2:-}
case "$arch" in
  arm64) triplet=aarch64-linux-gnu processor=aarch64 qemu=qemu-aarch64-static ;;
  armhf) triplet=arm-linux-gnueabihf processor=arm qemu=qemu-arm-static ;;
  *) echo "cross_test.sh: no cross build for \"$arch\" (arm64, armhf)" >&2; exit 2 ;;
esac
scripts/deps.sh
sysroot=$PWD/build-sysroot-$arch
scripts/cross_deps.sh "$arch" "$sysroot"

libdirs="$sysroot/usr/lib/$triplet:$sysroot/lib/$triplet"
export PKG_CONFIG_LIBDIR=$sysroot/usr/lib/$triplet/pkgconfig:$sysroot/usr/share/pkgconfig
export PKG_CONFIG_SYSROOT_DIR=$sysroot
export CCACHE_BASEDIR=$PWD
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
# The sysroot's multiarch include folder is searched too: libjpeg's jconfig.h is there, and
# no pkg-config file names it.
dir=build-$arch
scripts/build.sh "$dir" \
  -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=$processor \
  -DCMAKE_C_COMPILER=$triplet-gcc -DCMAKE_CXX_COMPILER=$triplet-g++ \
  -DCMAKE_FIND_ROOT_PATH="$sysroot" -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
  -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
  -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-rpath-link,${libdirs//:/ -Wl,-rpath-link,}" \
  -DCMAKE_C_FLAGS="-isystem $sysroot/usr/include/$triplet" \
  -DCMAKE_CXX_FLAGS="-isystem $sysroot/usr/include/$triplet" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$qemu;-L;$sysroot"

cd "$dir"
# The scripts' tests have dotted lower-case names (driver.ppd, printer_app.driverless_queue).
scripts='^[a-z_]+\.'
if [ "$quick" = --quick ]; then
  ctest --output-on-failure -j2 -E "$scripts" -R '^(Gray2Bytes|LabelStream|Options|Filter)'
else
  ctest --output-on-failure -j2 -E "$scripts"
fi
