#!/usr/bin/env bash
# The Debian packages as Debian's own checker sees them: the source package and its
# binary packages, built from this tree with dpkg-buildpackage (scripts/deb_build.sh,
# into BUILD_DIR/deb/), must get no error and no warning from lintian on the .dsc, the
# .changes and every .deb, and only the information tags the packaging explains.
# hardening-check (devscripts) confirms that its programs have every hardening of
# dpkg-buildflags. The packages stay for deb_package_test.sh.
#
#   deb_lintian_test.sh BUILD_DIR
#
# Exits 77 (skipped) without dpkg-buildpackage, dh, dpkg-deb or lintian.
set -euo pipefail

build_dir=$(readlink -f "$1")
for command in dpkg-buildpackage dh dpkg-deb lintian; do
  command -v "$command" >/dev/null || { echo "skipped: $command is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/vantel-lintian.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
source "$(dirname "$0")/label_checks.sh"

"$(dirname "$0")/../../scripts/deb_build.sh" "$build_dir/deb" || exit 1
debs=("$build_dir/deb/$(dpkg --print-architecture)"/*.deb)

if command -v hardening-check >/dev/null; then
  for deb in "${debs[@]}"; do
    dpkg-deb -x "$deb" "$work/files"
  done
  # Every ELF file of the packages. Control-flow protection is not among bookworm's
  # dpkg-buildflags, so it is not asked for.
  mapfile -t programs < <(find "$work/files" -type f -perm -u+x)
  hardening-check --nocfprotection --quiet "${programs[@]}" ||
    fail "a program lacks a hardening of dpkg-buildflags"
else
  echo "hardening-check (devscripts) is not installed: lintian's hardening tags only"
fi

[ "$failures" -eq 0 ] || exit 1
echo "${debs[*]##*/}: hardened"
