#!/usr/bin/env bash
# Runs the Linux and the Windows program (under Wine) on the same cases and
# checks that the reports are byte for byte the same, apart from the processing
# time on the last record.
#   cross_report_check.sh LINUX_CALOR2D WINDOWS_CALOR2D_EXE [WINE]
set -euo pipefail
linux_exe=$(realpath "$1")
windows_exe=$(realpath "$2")
wine=${3:-/usr/lib/wine/wine64}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$(dirname "$windows_exe")/../wineprefix}
unset DISPLAY
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
wineserver=$(dirname "$wine")/wineserver
# A persistent wineserver with its output away from ours, ended on the way out.
# -p fails when a server already runs for the prefix; that one serves as well.
"$wineserver" -p </dev/null >/dev/null 2>&1 || true
trap '"$wineserver" -k </dev/null >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

case_text() {  # name Lx Ly Nx Ny itmax tol sol_mode hist_step
  printf "'%s'   report file\n%s   Lx\n%s   Ly\n%s   Nx\n%s   Ny\n%s   itmax\n%s   tol\n%s   sol_mode\n%s   hist_step\n" "$@"
}

declare -A cases
cases[exemplo]=$(cat "$here/../examples/entrada_geral.ent")
cases[pequeno_todos]=$(case_text r.txt 1.0 1.0 5 5 50 1.0d-8 1 5)
cases[retangulo_centro]=$(case_text r.txt 2.0 0.5 31 9 4000 1e-10 2 250)
cases[alto_nenhum]=$(case_text r.txt 0.5 3.0 7 41 20000 1.0e-12 3 1000)
cases[limite_itmax]=$(case_text r.txt 1.0 1.0 41 41 37 0.0 1 4)
cases[uma_iteracao]=$(case_text r.txt 1.0 2.0 6 11 1 1e-3 1 1)
cases[grande]=$(case_text r.txt 3.0 1.0 81 27 3000 1.0-9 2 100)

# Everything but the number on the last record.
masked() { LC_ALL=C sed '$ s/[0-9.][0-9.]*\r$/#\r/' "$1"; }

failures=0
for name in "${!cases[@]}"; do
  for side in linux windows; do
    mkdir -p "$work/$name/$side"
    printf '%s\n' "${cases[$name]}" > "$work/$name/$side/entrada_geral.ent"
  done
  report=$(LC_ALL=C sed -n "1s/^'\([^']*\)'.*/\1/p" "$work/$name/linux/entrada_geral.ent")
  (cd "$work/$name/linux" && "$linux_exe" </dev/null >stdout 2>stderr) || true
  (cd "$work/$name/windows" && "$wine" "$windows_exe" </dev/null >stdout 2>stderr) || true
  a=$work/$name/linux/$report b=$work/$name/windows/$report
  if [ ! -s "$a" ] || [ ! -s "$b" ]; then
    echo "FAIL $name: no report ($(cat "$work/$name/linux/stderr" "$work/$name/windows/stderr"))"
    failures=$((failures + 1))
  elif ! cmp -s <(masked "$a") <(masked "$b"); then
    echo "FAIL $name: reports differ"
    diff <(masked "$a") <(masked "$b") | head -n 20 || true
    failures=$((failures + 1))
  elif [ -s "$work/$name/windows/stdout" ] || [ -s "$work/$name/windows/stderr" ]; then
    echo "FAIL $name: the Windows run printed something"
    failures=$((failures + 1))
  else
    echo "same: $name ($(wc -c < "$a") bytes)"
  fi
done
echo "$(( ${#cases[@]} - failures )) passed, $failures failed"
[ "$failures" -eq 0 ]
