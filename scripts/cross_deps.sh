#!/usr/bin/env bash
# Gathers what a cross build for ARCH (arm64, armhf) needs besides the cross compilers
# and qemu-user-static (scripts/deps.sh installs those): the target's -dev packages and
# every library they need, unpacked into SYSROOT, the target's root for the compiler, the
# linker, pkg-config and qemu. Nothing of the machine's own packages changes: the
# machine's libraries may be newer (security updates) than any the target has, which
# would keep multiarch packages of the two from being installed side by side.
#
#   scripts/cross_deps.sh ARCH SYSROOT
#
# Adds ARCH to dpkg's foreign architectures when it is not among them, so that apt knows
# its packages. Downloads only what SYSROOT does not hold yet.
set -euo pipefail
arch=$1
root=$(mkdir -p "$2" && cd "$2" && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
  $SUDO dpkg --add-architecture "$arch"
  $SUDO apt-get update -qq || true  # a mirror lagging for one index is no reason to stop
fi

# The libraries the project builds against, its tests' too, and the C and C++ runtime the
# cross compilers link with (qemu runs them from SYSROOT).
wanted=(libcups2-dev libcupsimage2-dev libpng-dev libpappl-dev libpoppler-cpp-dev libqpdf-dev
  libgtest-dev libgmock-dev libc6 libstdc++6 libgcc-s1)
# Headers and static parts of the C and C++ runtime come with the cross compilers.
toolchain='^(libc6-dev|libstdc\+\+-[0-9]+-dev|libgcc-[0-9]+-dev|linux-libc-dev|libcrypt-dev|libnsl-dev|rpcsvc-proto|libtirpc-dev)$'
mapfile -t packages < <(apt-cache depends --recurse --no-recommends --no-suggests \
  --no-conflicts --no-breaks --no-replaces --no-enhances "${wanted[@]/%/:$arch}" |
  sed -n "s/^\([a-z0-9][a-z0-9.+-]*\):$arch\$/\1/p" | sort -u | grep -v -E "$toolchain")

mkdir -p "$root/.debs"
chmod 755 "$root" "$root/.debs"  # apt downloads as user _apt
cd "$root/.debs"
missing=()
for p in "${packages[@]}"; do
  compgen -G "${p}_*_$arch.deb" >/dev/null || compgen -G "${p}_*_all.deb" >/dev/null ||
    missing+=("$p:$arch")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "cross_deps.sh: downloading ${#missing[@]} packages for $arch"
  apt-get download -qq "${missing[@]}"
fi
for deb in ./*.deb; do
  stamp=.${deb#./}.unpacked
  [ -e "$stamp" ] || { dpkg-deb -x "$deb" "$root" && touch "$stamp"; }
done
# Some -dev packages link their .so to an absolute path (libpam0g-dev: /lib/TRIPLET/...),
# which in SYSROOT would point into this machine's root, where the target's library is
# not: the linker then falls back to the static library. Each such link is made relative,
# inside SYSROOT.
find "$root" -type l -lname '/*' -print0 | while IFS= read -r -d '' link; do
  ln -sfn --relative "$root$(readlink "$link")" "$link"
done
echo "cross_deps.sh: $root holds ${#packages[@]} packages for $arch"
