#!/usr/bin/env bash
# Cross-builds the Debian package for arm64 (64-bit Raspberry Pi OS, Debian 12
# on a Pi) on an amd64 Debian 12, and runs the unit tests under qemu-user.
# As root: it adds the foreign architecture arm64 to dpkg and installs the
# cross compiler and Qt's, unixODBC's and zlib's arm64 -dev packages beside
# the machine's own (Debian's multiarch: they are Multi-Arch: same).
#
#   cross-arm64.sh            build into build/arm64, test, then cpack
#
# Afterwards: build/arm64/keldan_<version>_arm64.deb, and the test summary in
# build/arm64/cross-tests.log. The tests left out are the fast preset's: those
# that need the database servers, a browser, Dire Wolf or an installation
# (labels servers, browser, direwolf, packaging), whose servers and tools are
# this machine's, not arm64 ones; and, by name, the few that qemu-user cannot
# run (qemu_limits below), or their functions that it cannot. The SQLite
# tests run, with the arm64 SQLite ODBC driver: odbc/odbcinst.ini names
# drivers by file name, and the arm64 driver manager looks for them in its
# own /usr/lib/aarch64-linux-gnu/odbc.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build/arm64
jobs=${KELDAN_JOBS:-2}

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  dpkg --add-architecture arm64
  apt-get update
fi
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends \
  crossbuild-essential-arm64 qemu-user cmake ninja-build pkg-config dpkg-dev file \
  qt6-base-dev qt6-base-dev-tools \
  qt6-base-dev:arm64 qt6-serialport-dev:arm64 qt6-httpserver-dev:arm64 qt6-websockets-dev:arm64 \
  unixodbc-dev:arm64 zlib1g-dev:arm64 libarchive-dev:arm64 \
  libsqliteodbc:arm64 libodbc2:arm64 qt6-qpa-plugins:arm64 sqlite3 fonts-dejavu-core

mkdir -p "$build"
cat >"$build/toolchain.cmake" <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# The programs built for arm64 (the icon drawer at build time, the tests)
# run through qemu-user; the libraries they load are the arm64 ones of
# /usr/lib/aarch64-linux-gnu, found by the arm64 loader.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Qt's tools (moc, rcc, uic) are the machine's own.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
# unixODBC's odbc_config would name the machine's own library.
set(ODBC_CONFIG ODBC_CONFIG-NOTFOUND CACHE FILEPATH "")
set(ODBC_LIBRARY /usr/lib/aarch64-linux-gnu/libodbc.so CACHE FILEPATH "")
set(ODBC_INCLUDE_DIR /usr/include CACHE PATH "")
TOOLCHAIN

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$build/toolchain.cmake" -DKELDAN_WERROR=ON \
  -DCPACK_DEBIAN_PACKAGE_ARCHITECTURE=arm64
start=$(date +%s)
cmake --build "$build" -j "$jobs"
echo "Build: $(($(date +%s) - start)) s"

# Qt's QProcess cannot start a child under qemu-user 7.2 (Debian 12's): Qt
# forks with clone(CLONE_VM|CLONE_VFORK|CLONE_PIDFD), which that qemu refuses
# with EINVAL. The tests that only start programs are left out; those with a
# few such functions run without them (partial, below).
qemu_limits=(
  tst_stopwhilestatementhangs # starts keldan through QProcess
  tst_recoveryafterkill       # starts keldan through QProcess, then kills it
  tst_packetjournal tst_logreader tst_form1 # partial
)
declare -A partial=(
  # gunzip the day's journal with gzip through QProcess
  [tst_packetjournal]='rollsOverAtUtcMidnight|keepsOnlyItsDays'
  # packs the log with gzip, xz and bzip2 through QProcess
  [tst_logreader]='compressedForms'
  # needs the arm64 PostgreSQL and MariaDB ODBC drivers: odbc-mariadb is not
  # Multi-Arch: same, so its arm64 copy would replace the machine's own
  [tst_form1]='logonThatFindsNoServerIsTriedAgain'
)
exclude=$(IFS='|'; echo "${qemu_limits[*]}")

# The unit tests, each through qemu-aarch64 (ctest prepends the emulator).
start=$(date +%s)
status=0
(cd "$build" && ctest -j "$jobs" -LE 'servers|browser|direwolf|packaging' -E "^($exclude)\$" \
  --timeout 900 --output-on-failure) >"$build/cross-tests.log" 2>&1 || status=$?
# The partial tests, with every function but those named, in the environment
# ctest gives them.
for name in "${!partial[@]}"; do
  program=$(find "$build/tests" -name "$name" -type f -executable)
  mapfile -t functions < <(cd "$(dirname "$program")" &&
    QT_QPA_PLATFORM=offscreen qemu-aarch64 "$program" -functions | sed 's/()$//' | grep -Evx "${partial[$name]}")
  echo "$name without ${partial[$name]}:" >>"$build/cross-tests.log"
  (cd "$(dirname "$program")" && QT_QPA_PLATFORM=offscreen ODBCSYSINI="$repo/odbc" ODBCINI="$build/dbservers/odbc.ini" \
    timeout 900 qemu-aarch64 "$program" "${functions[@]}") >>"$build/cross-tests.log" 2>&1 || status=$?
done
echo "Tests: $(($(date +%s) - start)) s" | tee -a "$build/cross-tests.log"
grep -E '^Totals|tests passed|without' "$build/cross-tests.log"

# dpkg-shlibdeps reads the arm64 binaries with the arm64 objdump and finds
# their libraries' packages among the arm64 ones installed.
(cd "$build" && DEB_HOST_ARCH=arm64 cpack --config CPackConfig.cmake) 2>&1 | tail -3
deb=$(ls "$build"/keldan_*_arm64.deb)
echo "Package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Package Version Architecture Depends
rm -rf "$build/unpacked" && mkdir "$build/unpacked"
dpkg-deb -x "$deb" "$build/unpacked"
file "$build/unpacked/usr/bin/keldan"
exit "$status"
