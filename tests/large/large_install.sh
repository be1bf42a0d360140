#!/bin/bash
# The worker installs a package of more than 1 GB: a generated payload of
# about 2,900 files and 1.1 GB (four files of 100 to 180 MB among them) is
# packed and linked into a package module, which vx_install_bench installs
# as one whole process under Wine; then every installed file must have the
# payload's bytes and last-write time, and no file may be missing or extra.
#
# Usage: large_install.sh <win32|win64> <vx_install_bench.exe> <work folder>
# The payload is written once into $VX_BUILD_DIR/bench-payloads/T and kept
# (vxbenchpayload reuses it while it is complete); the module, the installed
# copy and the Windows folder are removed at the end, pass or fail.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${VX_BUILD_DIR:-$ROOT/build}
flavor=$1 bench=$2 work=$3
payload=$BUILD/bench-payloads/T
fail() { echo "LARGE INSTALL FAILED: $*"; exit 1; }
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }
t=$(date +%s.%N)
took() {
  awk -v what="$1" -v from="$t" -v to="$(date +%s.%N)" \
    'BEGIN { printf "large install: %-34s %6.1f s\n", what, to - from }'
  t=$(date +%s.%N)
}

rm -rf "$work"
mkdir -p "$work" "$BUILD/bench-payloads"
trap 'rm -rf "$work"' EXIT

# Room for the package module and, while the worker runs, its temporary
# copy of the package and the installed files (the linker holds the object
# file and the module at once before that): three times the package, and
# the payload itself when it is not there yet.
package_bytes=1120000000
need=$((3 * package_bytes))
[ -e "$payload.complete" ] || need=$((need + package_bytes))
free=$(df --output=avail -B1 "$BUILD" | tail -n 1)
if [ "$free" -lt "$need" ]; then
  fail "not enough free disk space in $BUILD: $((free / 1000000)) MB free," \
    "$((need / 1000000)) MB needed"
fi

"$BUILD/host/bench/vxbenchpayload" "$payload" T
took "payload written (or found complete)"
"$ROOT/bench/package-module" "$flavor" "$payload" "$work/package.dll"
took "package module made"

mkdir -p "$work/windows"
status=0
"$ROOT/cmake/wine-run" "$bench" once "$(windows_path "$work/installed")" \
  "$(windows_path "$work/windows")" "$(windows_path "$work/package.dll")" || status=$?
# The benchmark leaves its scratch registry keys for its caller.
"$ROOT/cmake/wine-run" reg delete 'HKCU\Software\VantorexSetupBench' /f >/dev/null 2>&1 || true
[ "$status" -eq 0 ] || fail "vx_install_bench once ended with $status"
took "installed by the worker"
rm -f "$work/package.dll"

# Every file and folder, and every file's bytes; then every file's size and
# last-write time (the payload's dates are whole even seconds, which the
# package keeps exactly; folders get the time they were made).
diff -rq "$payload" "$work/installed" || fail "the installed files differ from the payload"
listing() { (cd "$1" && find . -type f -printf '%P %s %T@\n' | LC_ALL=C sort); }
diff <(listing "$payload") <(listing "$work/installed") >"$work/dates.diff" ||
  fail "sizes or dates differ: $(head -n 6 "$work/dates.diff")"
took "every file checked"
echo "LARGE INSTALL PASSED: $(find "$payload" -type f | wc -l) files," \
  "$(find "$payload" -type f -printf '%s\n' | awk '{ n += $1 } END { printf "%d", n }') bytes," \
  "bytes and dates as in the payload"
