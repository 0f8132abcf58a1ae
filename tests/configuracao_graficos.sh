#!/bin/sh
# CALOR2D_GRAFICOS as a user meets it: AUTO follows cairo at every configure
# (installing cairo after a first configure brings the companion in), ON without
# cairo stops configure with the reason, OFF leaves the companion out.
# cairo is hidden from pkg-config by an empty search path.
# Usage: configuracao_graficos.sh CMAKE GENERATOR CXX_COMPILER SOURCE_DIR
set -eu
cmake_cmd=$1 generator=$2 cxx=$3 source=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir "$tmp/vazio"

configure() {  # configure BUILD_DIR HIDE_CAIRO(0|1) [ARGS...]
  dir=$1 hide=$2
  shift 2
  if [ "$hide" = 1 ]; then
    PKG_CONFIG_LIBDIR=$tmp/vazio PKG_CONFIG_PATH='' "$cmake_cmd" -S "$source" -B "$dir" -G "$generator" \
      -DCMAKE_CXX_COMPILER="$cxx" -DCALOR2D_TESTS=OFF "$@" >"$dir.log" 2>&1
  else
    "$cmake_cmd" -S "$source" -B "$dir" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" -DCALOR2D_TESTS=OFF "$@" \
      >"$dir.log" 2>&1
  fi
}
has_companion() { grep -q 'calor2d-graficos' "$1/CMakeFiles/TargetDirectories.txt"; }

# AUTO, cairo "not yet installed", then installed: the second configure brings it in.
configure "$tmp/auto" 1 || fail "AUTO without cairo failed: $(tail -n 5 "$tmp/auto.log")"
! has_companion "$tmp/auto" || fail "AUTO without cairo still builds calor2d-graficos"
grep -q 'cairo not found: calor2d-graficos is left out' "$tmp/auto.log" || fail "AUTO without cairo says nothing"
grep -q '^CALOR2D_GRAFICOS:STRING=AUTO$' "$tmp/auto/CMakeCache.txt" || fail "the cache no longer says AUTO"
configure "$tmp/auto" 0 || fail "AUTO with cairo failed: $(tail -n 5 "$tmp/auto.log")"
has_companion "$tmp/auto" || fail "cairo found on the second configure, but calor2d-graficos is still left out"

# ON without cairo: configure stops and says why.
if configure "$tmp/on" 1 -DCALOR2D_GRAFICOS=ON; then fail "ON without cairo configured"; fi
grep -q 'CALOR2D_GRAFICOS=ON, but cairo was not found' "$tmp/on.log" || fail "ON without cairo: $(tail -n 5 "$tmp/on.log")"

# OFF with cairo at hand: left out all the same.
configure "$tmp/off" 0 -DCALOR2D_GRAFICOS=OFF || fail "OFF failed: $(tail -n 5 "$tmp/off.log")"
! has_companion "$tmp/off" || fail "OFF still builds calor2d-graficos"

# Anything else is refused rather than read as true.
if configure "$tmp/yes" 0 -DCALOR2D_GRAFICOS=talvez; then fail "CALOR2D_GRAFICOS=talvez configured"; fi
echo "CALOR2D_GRAFICOS: AUTO follows cairo, ON insists, OFF leaves it out"
