#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the samples need, if any is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libcups2-dev libcupsimage2-dev
  cups cups-client cups-filters cups-ipp-utils ghostscript poppler-utils dpkg-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  clang libclang-rt-14-dev valgrind hyperfine
  libpoppler-cpp-dev libqpdf-dev qpdf zint zbar-tools dmtx-utils libzxing-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
