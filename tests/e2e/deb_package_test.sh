#!/usr/bin/env bash
# The Debian package as a user meets it: built with cpack, installed with apt-get, then
# checked (files, owners and modes, the log file the filter can write as lp, the PPDs in
# the scheduler's driver list) and removed with apt-get, which must leave the machine as it
# was. Whatever happens, the package is removed and a log file that was there is restored.
#
#   deb_package_test.sh BUILD_DIR LOG_PATH PORT
#
# Exits 77 (skipped) when not root, without apt-get or the CUPS packages the .deb depends
# on, or when the driver is already installed: its files must not be overwritten.
set -euo pipefail

build_dir=$(readlink -f "$1")
log=$2
port=$3
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
package=rastertovantel

skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for command in apt-get dpkg-query cmake cpack cups-config setpriv; do
  command -v "$command" >/dev/null || skip "$command is not installed"
done
for dependency in cups libcups2; do
  dpkg-query -W -f='${Status}' "$dependency" 2>/dev/null | grep -q "install ok installed" ||
    skip "$dependency is not installed, and apt-get would fetch it"
done

# One package test on this machine at a time, whoever runs the suite.
exec 9>/tmp/rastertovantel-deb-test.lock
flock -w 300 9 || { echo "another package test held the lock for 5 minutes"; exit 1; }

filter=$(cups-config --serverbin)/filter/rastertovantel
ppd_dir=$(cups-config --datadir)/model/vantel
source "$source_dir/scripts/private_cupsd.sh"
work=$(mktemp -d /tmp/vantel-deb-test.XXXXXX)
chmod 755 "$work"  # apt reads the .deb as user _apt, cupsd runs filters as lp
trap 'rm -rf "$work"' EXIT

# What cmake --install puts on the machine besides the log file, with the package's
# prefix: the package must hold exactly these files, and none of them may be there yet.
DESTDIR=$work/stage cmake --install "$build_dir" --component driver --prefix /usr >/dev/null
(cd "$work/stage" && find . -type f | sed 's/^\.//' | sort) >"$work/files.want"
status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
if [ -n "$status" ] && [ "$status" = "${status%not-installed}" ]; then
  skip "dpkg knows the $package package already ($status)"
fi
while read -r file; do
  [ ! -e "$file" ] || skip "$file exists (cmake --install?): the package would replace it"
done <"$work/files.want"

dpkg-query -W -f='${Package} ${Version} ${Status}\n' | sort >"$work/packages.before"
[ ! -e "$log" ] || cp -a "$log" "$work/log.before"

apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=120 "$@"
}
restore() {
  set +e
  cupsd_stop
  if dpkg-query -W "$package" >/dev/null 2>&1; then apt_get purge "$package" >/dev/null 2>&1; fi
  if [ -e "$work/log.before" ]; then cp -a "$work/log.before" "$log"; fi
  rm -rf "$work"
}
trap restore EXIT
trap 'exit 1' INT TERM  # so that the EXIT trap runs on these too

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
expect_file() {  # path mode owner:group
  local got
  got=$(stat -c '%a %U:%G' "$1" 2>/dev/null) || { fail "$1 is missing"; return; }
  [ "$got" = "$2 $3" ] || fail "$1 is $got, expected $2 $3"
}

cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/${package}_*.deb)

apt_get install --no-install-recommends "$deb" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; exit 1; }

# The files of cmake --install, with its modes and owned by root; the scheduler refuses a
# filter that others could change. The log file is lp's.
dpkg-query -L "$package" | while read -r f; do [ -d "$f" ] || echo "$f"; done |
  sort >"$work/files.got"
diff "$work/files.want" "$work/files.got" ||
  fail "the package holds other files than cmake --install puts on the machine"
while read -r file; do
  expect_file "$file" "$(stat -c %a "$work/stage$file")" root:root
done <"$work/files.want"
expect_file "$filter" 755 root:root
expect_file "$log" 640 lp:adm

# The filter as the scheduler runs it, as lp: it can write its log.
printf '3SaR' | PPD=$ppd_dir/vantel-203.ppd setpriv --reuid=lp --regid=lp --clear-groups \
  "$filter" 1 user title 1 "" >/dev/null 2>&1 || fail "the installed filter failed as user lp"
grep -q "Enter main" "$log" || fail "the filter, run as lp, wrote no log to $log"

# The scheduler lists the PPDs as drivers, and a queue can be made from one by its name.
cupsd_start "$work/cups" "$port" "$filter"
models=$(cups_client lpinfo -m)
for model in vantel/vantel-203.ppd vantel/vantel-300.ppd; do
  grep -q "^$model " <<<"$models" || fail "lpinfo -m does not list $model"
done
cups_client lpadmin -p labels -E -v "file:///dev/null" -m vantel/vantel-203.ppd 2>/dev/null ||
  fail "lpadmin -m vantel/vantel-203.ppd failed"
cupsd_stop

# Removal leaves no file and no log. A package with a postrm stays known to dpkg until it
# is purged; after that the machine has the same packages as before.
apt_get remove "$package" >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; exit 1; }
for file in $(cat "$work/files.want") "$ppd_dir" "$log"; do
  [ ! -e "$file" ] || fail "$file is left after apt-get remove"
done
apt_get purge "$package" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; exit 1; }
diff "$work/packages.before" <(dpkg-query -W -f='${Package} ${Version} ${Status}\n' | sort) ||
  fail "the installed packages differ from before the test"

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$deb"): installed, checked and removed"
