#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the samples need, if any is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  libcups2-dev libcupsimage2-dev
  cups cups-client cups-filters cups-ipp-utils cups-ppdc ghostscript poppler-utils dpkg-dev
  lintian
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  clang libclang-rt-14-dev valgrind hyperfine
  libpappl-dev libpoppler-cpp-dev libqpdf-dev qpdf barcode zint zbar-tools dmtx-utils
  patch libavahi-client-dev libgnutls28-dev libusb-1.0-0-dev libpam0g-dev zlib1g-dev
  libzxing-dev libjpeg-dev chromium imagemagick
  crossbuild-essential-arm64 crossbuild-essential-armhf qemu-user-static debhelper
)

# Only for hardening-check, so without the many tools devscripts recommends.
without_recommends=(devscripts)

missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing < <(missing "${packages[@]}")
mapfile -t missing_bare < <(missing "${without_recommends[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_bare[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]} ${missing_bare[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ ${#missing_bare[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    "${missing_bare[@]}" >/dev/null
fi
