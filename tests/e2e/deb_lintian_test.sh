#!/usr/bin/env bash
# The Debian package as Debian's own checker sees it: built with cpack from this build,
# lintian must report no error and no warning, and no hardening tag at any level; the
# information tags it may give are the ones the README explains. hardening-check
# (devscripts) confirms that its programs have every hardening of dpkg-buildflags.
#
#   deb_lintian_test.sh BUILD_DIR
#
# Exits 77 (skipped) without cpack, dpkg-deb or lintian.
set -euo pipefail

build_dir=$(readlink -f "$1")
for command in cpack dpkg-deb lintian; do
  command -v "$command" >/dev/null || { echo "skipped: $command is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/vantel-lintian.XXXXXX)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
debs=("$work"/pkg/*.deb)

# lintian needs no privileges: as root it runs as nobody, with a home of its own.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  mkdir -m 0777 "$work/home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/home")
fi
status=0
"${as_user[@]}" lintian --display-info --fail-on error,warning "${debs[@]}" >"$work/lintian" 2>&1 ||
  status=$?
cat "$work/lintian"
[ "$status" -eq 0 ] || fail "lintian exited $status"
# Information tags kept on purpose (README, "Packaging"): CPack strips with plain strip,
# which keeps the compiler's .comment; the filter's manual page is for a program
# the scheduler runs, not one on PATH; the printer application's service is for systemd
# only.
explained='binary-has-unneeded-section \.comment|spare-manual-page \[usr/share/man/man8/rastertovantel\.8\.gz\]'
explained+='|package-supports-alternative-init-but-no-init\.d-script \[lib/systemd/system/vantel-printer-app\.service\]'
unexplained=$(grep -v -E "^I: [^ ]+: ($explained)" "$work/lintian" || true)
[ -z "$unexplained" ] || fail "lintian tags the README does not explain:"$'\n'"$unexplained"

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
echo "$(cd "$work/pkg" && ls *.deb): lintian reports no error and no warning; hardened"
