#!/bin/sh
# The Debian package made from this build, checked by lintian as Debian checks
# its own: any error (E:) fails the test; warnings and notes are shown.
# Usage: pacote_lintian.sh CMAKE BUILD_DIR    (exit 77: lintian or cpack missing)
set -eu
cmake_cmd=$1 build=$(cd "$2" && pwd)
cpack_cmd=$(dirname "$cmake_cmd")/cpack
[ -x "$cpack_cmd" ] || cpack_cmd=$(command -v cpack) || cpack_cmd=
if [ -z "$cpack_cmd" ] || ! command -v lintian >/dev/null 2>&1; then
  echo "SKIP: lintian or cpack is missing (Debian: apt-get install lintian)"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$cpack_cmd" --config "$build/CPackConfig.cmake" -B "$tmp/deb" >"$tmp/cpack.log" 2>&1 ||
  { echo "FAIL: cpack failed: $(tail -n 5 "$tmp/cpack.log")" >&2; exit 1; }
set -- "$tmp"/deb/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "FAIL: cpack did not leave one .deb: $*" >&2; exit 1; }
# lintian's own failure (not its findings) must not pass for a clean package.
status=0
lintian --info --tag-display-limit 0 "$1" >"$tmp/lintian.log" 2>"$tmp/lintian.err" || status=$?
cat "$tmp/lintian.log"
if grep -q '^E: ' "$tmp/lintian.log"; then
  echo "FAIL: lintian finds errors in $(basename "$1")" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "FAIL: lintian ended with $status: $(cat "$tmp/lintian.err")" >&2
  exit 1
fi
echo "lintian: no errors in $(basename "$1")"
