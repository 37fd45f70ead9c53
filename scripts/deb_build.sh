#!/usr/bin/env bash
# Builds the Debian source package and its binary packages (printer-driver-vantel,
# vantel-printer-app and their -dbgsym) from this tree, for the build machine or, with an
# architecture, as a cross build, and checks them all with lintian: no error and no
# warning on the .dsc, the .changes and every .deb, and no tag the packaging has not
# explained. Files not yet committed are part of the tree.
#
#   scripts/deb_build.sh OUT_DIR [ARCH]      (ARCH: arm64, armhf, ...; the machine's own
#                                            when left out; the foreign build dependencies
#                                            come from scripts/cross_deps.sh)
#
# OUT_DIR/ARCH/ then holds the unpacked source the packages were built in and, beside
# it, the .orig.tar.gz, .debian.tar.xz, .dsc, .buildinfo, .changes and .deb files. The
# source is unpacked at the same path each time, so that ccache finds earlier builds.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
arch=${2:-$(dpkg --print-architecture)}
cd "$source_dir"

name=$(dpkg-parsechangelog -S Source)
version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}
work=$out/$arch
rm -rf "$work"
mkdir -p "$work/$name-$upstream"
chmod 755 "$out" "$work"  # lintian, run as nobody, reads them

# The upstream tarball: the tree without debian/, the same bytes for the same tree.
files=$(mktemp)
trap 'rm -f "$files"' EXIT
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done >"$files"
tar -c --null -T "$files" | tar -x -C "$work/$name-$upstream"
mtime=$(git log -1 --format=%ct)
tar -C "$work" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$mtime" \
  --exclude="$name-$upstream/debian" -c "$name-$upstream" | gzip -9n \
  >"$work/${name}_$upstream.orig.tar.gz"

# ccache, where there is one, under the build's own flags (cmake reads these variables).
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
cross=()
[ "$arch" = "$(dpkg --print-architecture)" ] || cross=(-a "$arch")
echo "dpkg-buildpackage ${cross[*]}: $work/build.log"
(cd "$work/$name-$upstream" && CCACHE_BASEDIR=$work \
  dpkg-buildpackage -us -uc -j2 "${cross[@]}") >"$work/build.log" 2>&1 ||
  { tail -40 "$work/build.log"; exit 1; }

# nobody may not pass through the folders above $work (a clone in a mktemp -d folder is
# closed to others): lintian reads a copy of the upload's files in a folder open to it.
check=$(mktemp -d /tmp/vantel-lintian-check.XXXXXX)
trap 'rm -f "$files"; rm -rf "$check"' EXIT
chmod 755 "$check"
cp "$work"/*.changes "$work"/*.dsc "$work"/*.tar.* "$work"/*.buildinfo "$work"/*.deb "$check"/
cp "$work"/*.ddeb "$check"/ 2>/dev/null || true

# lintian needs no privileges: as root it runs as nobody, with a home of its own.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  mkdir -m 0777 "$check/home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$check/home")
fi
changes=$(ls "$work"/${name}_"${version}"_"$arch".changes)
status=0
(cd "$check" && "${as_user[@]}" lintian --display-info --fail-on error,warning \
  "$check/$(basename "$changes")") >"$work/lintian.log" 2>&1 || status=$?
cat "$work/lintian.log"
[ "$status" -eq 0 ] || { echo "FAIL: lintian exited $status"; exit 1; }
# Information tags kept on purpose (docs/packaging.md): the upstream source is this
# tree, with no release site to watch; the filter's manual page is for a program the
# scheduler runs, not one on PATH; the printer application's service is for systemd only;
# in the arm64 programs four bytes of machine code happen to read "Teh 8", which lintian
# takes for a misspelt word.
explained='debian-watch-file-is-missing'
explained+='|spelling-error-in-binary Teh The \[usr/(lib/cups/filter/rastertovantel|bin/vantel-printer-app)\]'
explained+='|spare-manual-page \[usr/share/man/man8/rastertovantel\.8\.gz\]'
explained+='|package-supports-alternative-init-but-no-init\.d-script \[lib/systemd/system/vantel-printer-app\.service\]'
unexplained=$(grep -v -E "^I: [^ ]+( source)?: ($explained)" "$work/lintian.log" || true)
[ -z "$unexplained" ] || { echo "FAIL: lintian tags the packaging does not explain:"; echo "$unexplained"; exit 1; }
echo "$(cd "$work" && ls ./*.dsc ./*.changes ./*.deb | tr '\n' ' '): lintian reports no error and no warning"
