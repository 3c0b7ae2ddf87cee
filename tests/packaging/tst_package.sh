#!/usr/bin/env bash
# The Debian package: cpack builds it for this machine's architecture, with
# its dependencies declared; lintian, where installed, finds nothing.
#
#   tst_package.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "PASS: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}

(cd "$build" && cpack --config CPackConfig.cmake -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
debs=("$work"/keldan_*.deb)
deb=${debs[0]}
check "one package: $(basename "$deb")" test -f "$deb" -a ${#debs[@]} = 1

arch=$(dpkg --print-architecture)
check "architecture $arch" test "$(dpkg-deb -f "$deb" Architecture)" = "$arch"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6network6 libodbc2 libsqliteodbc sqlite3; do
  check "depends on $package" grep -q "\b$package\b" <<<"$depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/lib/systemd/system/keldan.service ./usr/share/keldan/schema/sqlite.sql \
            ./usr/share/applications/keldan.desktop ./usr/share/doc/keldan/copyright; do
  check "holds $path" grep -qx -- "$path" <<<"$contents"
done
check "the unit names the packaged program and its keldan.conf" \
  bash -c "dpkg-deb --fsys-tarfile '$deb' | tar -xO ./usr/lib/systemd/system/keldan.service | grep -qx 'ExecStart=/usr/bin/keldan --config /etc/keldan/keldan.conf --program-folder /var/lib/keldan'"
check "/etc/keldan/keldan.conf is its only conffile" \
  bash -c "[ \"\$(dpkg-deb -I '$deb' conffiles)\" = /etc/keldan/keldan.conf ]"

# Installed for real by dpkg, into a root of its own with a database of its
# own (its dependencies are this machine's, so not checked there); the
# maintainer scripts run outside a chroot with DPKG_ROOT set.
inst=$work/inst
mkdir -p "$inst/var/lib/dpkg/info" "$inst/var/lib/dpkg/updates" "$inst/var/log"
touch "$inst/var/lib/dpkg/status"
in_root=(dpkg --root="$inst" --force-script-chrootless --force-depends --log=/dev/null)
if "${in_root[@]}" -i "$deb" >"$work/dpkg-install.log" 2>&1; then
  listed=$("${in_root[@]}" -L keldan)
  wanted=(/usr/bin/keldan /usr/bin/keldan-import /usr/bin/keldan-report /etc/keldan/keldan.conf
          /usr/share/man/man1/keldan.1.gz /usr/share/man/man1/keldan-import.1.gz
          /usr/share/man/man1/keldan-report.1.gz /usr/share/man/man5/keldan.conf.5.gz)
  missing=()
  for path in "${wanted[@]}"; do grep -qx -- "$path" <<<"$listed" || missing+=("$path"); done
  check "dpkg -L: three programs, four manual pages, the conffile (missing: ${missing[*]:-none})" test ${#missing[@]} -eq 0
  state=$inst/var/lib/keldan
  check "first install: keldan.ini names the data source keldan on /var/lib/keldan/keldan.sqlite" bash -c "
    [ \"\$(tr -d '\r' <'$state/keldan.ini' | grep -E '^(DSN|DATABASE)=')\" = 'DSN=keldan
DATABASE=/var/lib/keldan/keldan.sqlite' ]"
  check "first install: the database from the schema, its data source" bash -c "
    [ \"\$(sqlite3 '$state/keldan.sqlite' 'select count(*) from sqlite_master where type = \"table\"')\" = 4 ] &&
    grep -qx 'Database=/var/lib/keldan/keldan.sqlite' '$state/odbc.ini'"
  # What the administrator set stays, through a reinstall.
  printf 'DSN=keldan-postgres\r\nDATABASE=keldan\r\n' >"$state/keldan.ini"
  echo 'Feed = kiss://127.0.0.1:8001' >>"$inst/etc/keldan/keldan.conf"
  "${in_root[@]}" --force-confold -i "$deb" >>"$work/dpkg-install.log" 2>&1
  check "reinstall: keldan.ini and keldan.conf as the administrator left them" bash -c "
    grep -q keldan-postgres '$state/keldan.ini' && grep -qx 'Feed = kiss://127.0.0.1:8001' '$inst/etc/keldan/keldan.conf'"
  "${in_root[@]}" --purge keldan >"$work/dpkg-purge.log" 2>&1
  check "purge: the conffile is gone" test ! -e "$inst/etc/keldan/keldan.conf" -a ! -e "$inst/etc/keldan"
  check "purge: the database is kept, and it says so" bash -c "
    [ -s '$state/keldan.sqlite' ] && grep -q 'kept /var/lib/keldan' '$work/dpkg-purge.log'"
else
  cat "$work/dpkg-install.log"
  check "dpkg installs the package into a root of its own" false
fi

# The maintainer scripts as dpkg runs them into a root of its own
# (deb-systemd-helper works under DPKG_ROOT): the first install leaves the
# service disabled, an upgrade keeps the administrator's enabling.
if command -v deb-systemd-helper >/dev/null; then
  root=$work/root
  dpkg-deb -x "$deb" "$root"
  dpkg-deb -e "$deb" "$work/control"
  as_dpkg=(env DPKG_ROOT="$root" DPKG_MAINTSCRIPT_PACKAGE=keldan)
  wants=$root/etc/systemd/system/multi-user.target.wants/keldan.service
  "${as_dpkg[@]}" sh "$work/control/postinst" configure ''
  check "first install: the service is not enabled" test ! -L "$wants"
  "${as_dpkg[@]}" deb-systemd-helper enable keldan.service
  "${as_dpkg[@]}" sh "$work/control/postinst" configure 1.0.0
  check "upgrade: an enabled service stays enabled" test -L "$wants"
fi

if command -v lintian >/dev/null; then
  check "lintian finds nothing" bash -c "out=\$(lintian --allow-root --pedantic '$deb' 2>&1) && [ -z \"\$out\" ] || { echo \"\$out\"; false; }"
fi

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
