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
for path in ./usr/bin/keldan ./usr/lib/systemd/system/keldan.service ./usr/share/keldan/schema/sqlite.sql \
            ./usr/share/applications/keldan.desktop ./usr/share/doc/keldan/copyright; do
  check "holds $path" grep -qx -- "$path" <<<"$contents"
done
check "the unit names the packaged program" \
  bash -c "dpkg-deb --fsys-tarfile '$deb' | tar -xO ./usr/lib/systemd/system/keldan.service | grep -qx 'ExecStart=/usr/bin/keldan --program-folder /var/lib/keldan'"

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
