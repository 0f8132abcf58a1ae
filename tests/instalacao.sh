#!/bin/sh
# Installs the build into a fresh prefix and runs the installed programs on the
# bundled example, as a user of the installed package would.
# Usage: instalacao.sh CMAKE BUILD_DIR EXAMPLES_DIR WITH_GRAFICOS(0|1)
set -eu
cmake_cmd=$1 build=$(cd "$2" && pwd) examples=$3 graficos=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake_cmd" --install "$build" --prefix "$tmp/prefix" >/dev/null
p=$tmp/prefix
for f in bin/calor2d libexec/calor2d/notepad share/man/man1/calor2d.1.gz share/doc/calor2d/examples/entrada_geral.ent \
         share/doc/calor2d/copyright share/doc/calor2d/changelog.gz; do
  [ -e "$p/$f" ] || fail "not installed: $f"
done
[ -x "$p/libexec/calor2d/notepad" ] || fail "editor stand-in not executable"

mkdir "$tmp/caso"
cp "$p/share/doc/calor2d/examples/entrada_geral.ent" "$tmp/caso/"
cd "$tmp/caso"

# No terminal and no notepad on PATH: the installed program must find the
# installed stand-in, which opens nothing, so the run is silent. Without it the
# shell would complain "notepad: not found" on standard error.
status=0
PATH=/usr/bin:/bin "$p/bin/calor2d" </dev/null >out 2>err || status=$?
[ "$status" -eq 0 ] || fail "calor2d exited with $status: $(cat err)"
[ ! -s out ] || fail "calor2d wrote to standard output: $(cat out)"
[ ! -s err ] || fail "calor2d wrote to standard error: $(cat err)"
head -c 6 resultado.txt | grep -q '^Difus' || fail "no report written"

# And the stand-in it runs is the installed one: swap in one that leaves a trace.
cp "$p/libexec/calor2d/notepad" "$tmp/notepad.orig"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s/rastro"\n' "$tmp" > "$p/libexec/calor2d/notepad"
PATH=/usr/bin:/bin "$p/bin/calor2d" </dev/null >/dev/null 2>&1 || fail "second run failed"
[ "$(cat "$tmp/rastro")" = "entrada_geral.ent
resultado.txt" ] || fail "installed stand-in not offered the case and the report: $(cat "$tmp/rastro" 2>/dev/null)"
cp "$tmp/notepad.orig" "$p/libexec/calor2d/notepad"

if [ "$graficos" = 1 ]; then
  [ -e "$p/share/man/man1/calor2d-graficos.1.gz" ] || fail "not installed: calor2d-graficos.1.gz"
  status=0
  "$p/bin/calor2d-graficos" resultado.txt >out 2>err || status=$?
  [ "$status" -eq 0 ] || fail "calor2d-graficos exited with $status: $(cat err)"
  for f in resultado_historico.png resultado_nos.csv; do
    [ -s "$f" ] || fail "calor2d-graficos did not write $f"
  done
fi
echo "installed programs ran the bundled example"

# The Debian package, made from the same build by the cpack beside this cmake.
cpack_cmd=$(dirname "$cmake_cmd")/cpack
[ -x "$cpack_cmd" ] || cpack_cmd=$(command -v cpack) || cpack_cmd=
if [ -z "$cpack_cmd" ] || ! command -v dpkg-deb >/dev/null; then
  echo "package not checked: cpack or dpkg-deb is missing"
  exit 0
fi
"$cpack_cmd" --config "$build/CPackConfig.cmake" -B "$tmp/deb" >"$tmp/cpack.log" 2>&1 ||
  fail "cpack failed: $(tail -n 5 "$tmp/cpack.log")"
set -- "$tmp"/deb/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "cpack did not leave one .deb: $*"
deb=$1
dpkg-deb -c "$deb" | awk '{ print substr($1, 1, 4), $6 }' >"$tmp/conteudo"
# Programs must stay executable in the package, not only in the install.
programas="usr/bin/calor2d usr/libexec/calor2d/notepad" manuais=calor2d.1.gz
[ "$graficos" = 1 ] && programas="$programas usr/bin/calor2d-graficos" manuais="$manuais calor2d-graficos.1.gz"
for f in $programas; do
  grep -qxF -- "-rwx ./$f" "$tmp/conteudo" || fail "package lacks the program $f"
done
for f in $manuais; do
  grep -qxF -- "-rw- ./usr/share/man/man1/$f" "$tmp/conteudo" || fail "package lacks the manual page $f"
done
depende=$(dpkg-deb -f "$deb" Depends)
case ", $depende," in
  *", libcairo2 "* | *", libcairo2,"*) cairo=1 ;;
  *) cairo=0 ;;
esac
[ "$cairo" = "$graficos" ] || fail "package depends on \"$depende\" (calor2d-graficos built: $graficos)"
echo "package holds the programs and the manual page"
