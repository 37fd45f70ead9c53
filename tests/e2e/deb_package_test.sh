#!/usr/bin/env bash
# The Debian package as a user meets it, installed with apt-get into a throw-away copy of
# this machine: an overlay of / in a private mount and PID namespace, whose changes go to
# a tmpfs that vanishes with the test, however the test ends. The machine's own packages,
# /usr, /etc and filter log are never written; a driver installed on the machine is
# purged in the copy only, so the test runs the same on a print server that uses it.
#
# The packages are the ones dpkg-buildpackage builds from this tree (scripts/deb_build.sh).
# In the copy: an earlier package of the old name (rastertovantel, as this project's
# README once had CPack build it) gives way to printer-driver-vantel; the package holds
# exactly the files of `cmake --install --component driver` and Debian's documents, owned
# by root with their modes; its postinst makes the log file the filter, run as lp,
# writes; the scheduler lists the PPDs and makes a queue from one; `apt-get remove` leaves only the log and
# `apt-get purge` removes that too, leaving the packages of before. The printer
# application's package likewise: the files of `cmake --install --component app`, its
# systemd unit not enabled, the unit's command (with OPTIONS from /etc/default) a server
# that prints a label, its state kept on remove and gone on purge.
#
#   deb_package_test.sh BUILD_DIR LOG_PATH PORT APP_PORT
#
# Exits 77 (skipped) when not root, without the tools, without the CUPS packages the .deb
# depends on (apt-get would fetch them), or where no overlay of / can be mounted.
set -euo pipefail

if [ "${1:-}" = --inside ]; then
  inside=1
  work=$2 log=$3 port=$4 app_port=$5 source_dir=$6
else
  inside=0
  build_dir=$(readlink -f "$1")
  log=$2 port=$3 app_port=$4
  source_dir=$(cd "$(dirname "$0")/../.." && pwd)
fi
package=printer-driver-vantel
old_package=rastertovantel
app_package=vantel-printer-app

if [ "$inside" -eq 0 ]; then
  skip() { echo "skipped: $*"; exit 77; }
  [ "$(id -u)" -eq 0 ] || skip "mounting a throw-away root needs root"
  for command in apt-get dpkg-deb dpkg-query dpkg-buildpackage dh cmake cups-config cupsd setpriv unshare chroot gs systemctl; do
    command -v "$command" >/dev/null || skip "$command is not installed"
  done
  for dependency in cups libcups2 libpng16-16 libpappl1 libpoppler-cpp0v5; do
    dpkg-query -W -f='${Status}' "$dependency" 2>/dev/null | grep -q "install ok installed" ||
      skip "$dependency is not installed, and apt-get would fetch it"
  done

  work=$(mktemp -d /tmp/vantel-deb-test.XXXXXX)
  chmod 755 "$work"  # apt reads the .deb as user _apt, cupsd runs filters as lp
  trap 'rm -rf "$work"' EXIT
  trap 'exit 1' INT TERM

  # What cmake --install puts on the machine besides the log file, with the package's
  # prefix, and the modes, and the documents every Debian package has: the package must
  # hold exactly these files.
  installed_files() {  # component package
    DESTDIR=$work/stage-$1 cmake --install "$build_dir" --component "$1" --prefix /usr >/dev/null
    for doc in "doc/$2/copyright" "doc/$2/changelog.Debian.gz" "lintian/overrides/$2"; do
      install -D -m 0644 /dev/null "$work/stage-$1/usr/share/$doc"
    done
    (cd "$work/stage-$1" && find . -type f -printf '%P %m\n' | sed 's|^|/|' | sort)
  }
  installed_files driver "$package" >"$work/files.want"
  installed_files app "$app_package" >"$work/app-files.want"

  # The packages deb_lintian_test.sh built from this tree, or built now.
  pkg=$build_dir/deb/$(dpkg --print-architecture)
  compgen -G "$pkg/${package}_*.deb" >/dev/null ||
    "$source_dir/scripts/deb_build.sh" "$build_dir/deb" >/dev/null || exit 1
  mkdir "$work/pkg"
  cp "$pkg"/${package}_*.deb "$pkg"/${app_package}_*.deb "$work/pkg/"
  cp "$work"/pkg/${package}_*.deb "$work/new.deb"
  cp "$work"/pkg/${app_package}_*.deb "$work/app.deb"

  # The earlier package: some of the same files, a postinst that makes the log and a
  # postrm that removed it on remove.
  mkdir -p "$work/old/DEBIAN" "$work/old/usr/lib/cups/filter" "$work/old/usr/share/cups/model/vantel"
  printf '#!/bin/sh\n' >"$work/old/usr/lib/cups/filter/rastertovantel"
  chmod 755 "$work/old/usr/lib/cups/filter/rastertovantel"
  touch "$work/old/usr/share/cups/model/vantel/vantel-203.ppd"
  cat >"$work/old/DEBIAN/control" <<CONTROL
Package: $old_package
Version: 0.1.0
Architecture: all
Maintainer: rastertovantel developers <rastertovantel@localhost>
Description: CUPS driver for 4-inch thermal label printers
CONTROL
  printf '#!/bin/sh\n[ "$1" = configure ] && install -m 0640 -o lp -g adm /dev/null %s\nexit 0\n' \
    "$log" >"$work/old/DEBIAN/postinst"
  printf '#!/bin/sh\ncase "$1" in remove | purge) rm -f %s ;; esac\nexit 0\n' "$log" \
    >"$work/old/DEBIAN/postrm"
  chmod 755 "$work/old/DEBIAN/postinst" "$work/old/DEBIAN/postrm"
  dpkg-deb --root-owner-group -b "$work/old" "$work/old.deb" >/dev/null

  # One scheduler on this port at a time, whoever runs it.
  exec 9>"/tmp/rastertovantel-cupsd-$port.lock"
  flock -w 120 9 || { echo "port $port stayed locked for 2 minutes"; exit 1; }

  # The copy: / as the lower layer (only the root file system, no mounts under it), the
  # changes in a tmpfs; its own /proc for the new PID namespace, the machine's /dev and
  # /sys, an empty /run (no socket of the machine's scheduler), and the folders the test
  # reads bound in as they are. The namespaces end with this command.
  mkdir "$work/layers" "$work/root"
  status=0
  unshare --mount --propagation private --pid --fork --kill-child bash -c '
    set -e
    work=$1 script=$2
    shift 2
    mount -t tmpfs -o mode=0755 vantel-deb-layers "$work/layers"
    mkdir "$work/layers/upper" "$work/layers/work"
    mount -t overlay vantel-deb-root \
      -o "lowerdir=/,upperdir=$work/layers/upper,workdir=$work/layers/work" "$work/root" ||
      exit 77
    mount -t proc proc "$work/root/proc"
    mount --rbind /sys "$work/root/sys"
    mount --rbind /dev "$work/root/dev"
    mount -t tmpfs -o mode=0755 vantel-deb-run "$work/root/run"
    for dir in "$work" "$(dirname "$script")/../.."; do
      mkdir -p "$work/root$dir" && mount --bind "$dir" "$work/root$dir"
    done
    exec chroot "$work/root" "$script" --inside "$@"' \
    deb_package_test.sh "$work" "$source_dir/tests/e2e/deb_package_test.sh" \
    "$work" "$log" "$port" "$app_port" "$source_dir" || status=$?
  [ "$status" -ne 77 ] || echo "skipped: no overlay of / can be mounted here"
  exit "$status"
fi

# --- In the throw-away copy of the machine -------------------------------------------
cd /
source "$source_dir/scripts/private_cupsd.sh"
trap 'cupsd_stop' EXIT
trap 'exit 1' INT TERM

source "$source_dir/tests/e2e/label_checks.sh"
expect_file() {  # path mode owner:group
  local got
  got=$(stat -c '%a %U:%G' "$1" 2>/dev/null) || { fail "$1 is missing"; return; }
  [ "$got" = "$2 $3" ] || fail "$1 is $got, expected $2 $3"
}
apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=60 "$@" \
    >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
packages() { dpkg-query -W -f='${Package} ${Version} ${Status}\n' | sort; }

for p in "$package" "$old_package" "$app_package"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  if [ -n "$status" ] && [ "$status" = "${status%not-installed}" ]; then apt_get purge "$p"; fi
done
rm -f "$log"
# man-db's trigger rebuilds the whole manual page index at each install and removal, some
# seconds each time; the copy needs no index (Debian's switch for it is this file).
rm -f /var/lib/man-db/auto-update
packages >"$work/packages.before"

apt_get install "$work/old.deb"
installed "$old_package" || fail "the stand-in for the earlier $old_package did not install"
apt_get install --no-install-recommends "$work/new.deb"
installed "$package" || fail "$package is not installed"
old_status=$(dpkg-query -W -f='${Status}' "$old_package" 2>/dev/null || true)
[ -z "$old_status" ] || [ "$old_status" != "${old_status%not-installed}" ] ||
  fail "$old_package is still known to dpkg: $old_status"

# The files of cmake --install, with its modes and owned by root; the scheduler refuses a
# filter that others could change. The log file is lp's.
dpkg-query -L "$package" | while read -r f; do [ -d "$f" ] || echo "$f"; done |
  sort >"$work/files.got"
diff <(cut -d' ' -f1 "$work/files.want") "$work/files.got" ||
  fail "the package holds other files than cmake --install puts on the machine"
while read -r file mode; do
  expect_file "$file" "$mode" root:root
done <"$work/files.want"
filter=$(cups-config --serverbin)/filter/rastertovantel
ppd_dir=$(cups-config --datadir)/model/vantel
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

# Removal leaves no file but the log, which goes with the purge; after that the copy has
# the packages it had before.
apt_get remove "$package"
while read -r file mode; do
  [ ! -e "$file" ] || fail "$file is left after apt-get remove"
done <"$work/files.want"
[ ! -e "$ppd_dir" ] || fail "$ppd_dir is left after apt-get remove"
expect_file "$log" 640 lp:adm
apt_get purge "$package"
[ ! -e "$log" ] || fail "$log is left after apt-get purge"

# The printer application: installed, its service not enabled; the unit's command runs a
# server (as root, its state in /var/lib and its socket in /run) that prints a label.
apt_get install --no-install-recommends "$work/app.deb"
installed "$app_package" || fail "$app_package is not installed"
dpkg-query -L "$app_package" | while read -r f; do [ -d "$f" ] || echo "$f"; done |
  sort >"$work/app-files.got"
diff <(cut -d' ' -f1 "$work/app-files.want") "$work/app-files.got" ||
  fail "the app's package holds other files than cmake --install --component app"
unit=$(grep '\.service$' "$work/app-files.got" || true)
enabled=$(systemctl --root=/ is-enabled "$app_package.service" 2>&1 || true)
[ "$enabled" = disabled ] || fail "$app_package.service is '$enabled' after installation"
echo "OPTIONS=\"-o server-port=$app_port -o listen-hostname=127.0.0.1\"" >"/etc/default/$app_package"
# shellcheck disable=SC1090
OPTIONS=$(. "/etc/default/$app_package" && echo "$OPTIONS")
read -ra command <<<"$(sed -n 's/^ExecStart=//p' "$unit" | sed "s|\$OPTIONS|$OPTIONS|")"
"${command[@]}" >"$work/app.out" 2>&1 &
app_pid=$!
for ((i = 0; i < 100; i++)); do
  (exec 3<>"/dev/tcp/127.0.0.1/$app_port") 2>/dev/null && "$app_package" status >/dev/null 2>&1 && break
  sleep 0.1
done
mkdir -m 0755 "$work/app-out"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r203 -g406x203 -o "$work/label.png" \
  -c '0 setgray 40 40 100 100 rectfill showpage'
"$app_package" add -d labels -m vantel_203dpi -v "file://$work/app-out?ext=prn" >/dev/null &&
  "$app_package" submit -d labels -o media=oe_w144h72_2x1in "$work/label.png" >/dev/null ||
  fail "the service's server took no printer or job: $(cat "$work/app.out")"
for ((i = 0; i < 100; i++)); do grep -qa 'PRINT 1,1' "$work"/app-out/*.prn 2>/dev/null && break; sleep 0.1; done
grep -qa $'^SIZE 51mm,25mm\r$' "$work"/app-out/*.prn 2>/dev/null && grep -qa 'PRINT 1,1' "$work"/app-out/*.prn ||
  fail "the service printed no 2 x 1 in label"
# Stopped as systemd stops the service, with SIGTERM. (The shutdown sub-command can leave
# PAPPL's main loop asleep for up to 30 s before it sees the request.)
kill "$app_pid"
wait "$app_pid" || true
state=/var/lib/$app_package.state
[ -f "$state" ] || fail "the server left no state in $state"
apt_get remove "$app_package"
while read -r file mode; do
  [ ! -e "$file" ] || fail "$file is left after apt-get remove"
done <"$work/app-files.want"
[ -f "$state" ] || fail "$state is gone after apt-get remove"
apt_get purge "$app_package"
[ ! -e "$state" ] && [ ! -e "/var/spool/$app_package" ] || fail "the app's state is left after apt-get purge"
rm "/etc/default/$app_package"
diff "$work/packages.before" <(packages) || fail "the installed packages differ from before"

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$(ls "$work"/pkg/${package}_*.deb)"): replaced $old_package, installed," \
  "checked, removed and purged in a throw-away root; $app_package likewise, its service printing"
