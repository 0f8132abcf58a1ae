#!/usr/bin/env bash
# Runs the Linux program and the Windows programs (under Wine) on the same cases
# and checks that the reports are byte for byte the same, apart from the
# processing time on the last record.
#   cross_report_check.sh LINUX_CALOR2D WIN64_CALOR2D_EXE [WIN32_CALOR2D_EXE [WINE64 [WINE]]]
# The 32-bit program runs only where Wine's 32-bit loader starts (wine32 on
# Debian); otherwise the script says so and compares the other two.
#   cross_report_check.sh --write-cases DIR
# writes the case files alone, one folder per case, for other comparisons.
set -euo pipefail
case_text() {  # name Lx Ly Nx Ny itmax tol sol_mode hist_step
  printf "'%s'   report file\n%s   Lx\n%s   Ly\n%s   Nx\n%s   Ny\n%s   itmax\n%s   tol\n%s   sol_mode\n%s   hist_step\n" "$@"
}

here=$(cd "$(dirname "$0")" && pwd)
declare -A cases
cases[exemplo]=$(cat "$here/../examples/entrada_geral.ent")
cases[pequeno_todos]=$(case_text r.txt 1.0 1.0 5 5 50 1.0d-8 1 5)
cases[retangulo_centro]=$(case_text r.txt 2.0 0.5 31 9 4000 1e-10 2 250)
cases[alto_nenhum]=$(case_text r.txt 0.5 3.0 7 41 20000 1.0e-12 3 1000)
cases[limite_itmax]=$(case_text r.txt 1.0 1.0 41 41 37 0.0 1 4)
cases[uma_iteracao]=$(case_text r.txt 1.0 2.0 6 11 1 1e-3 1 1)
cases[grande]=$(case_text r.txt 3.0 1.0 81 27 3000 1.0-9 2 100)
# Generated: plates from Ly/Lx = 1/4 to 226 (sinh up to 710), equal and unequal
# spacing, odd and even counts, every sol_mode and one outside them.
widths=(1.0 0.3 2.5 7.0 0.1)
ratios=(1 0.25 2 3.7 10 50 120 200 226 1.5 33)
counts_x=(3 4 7 10 21 32 5)
counts_y=(3 5 8 11 26 4 17 6)
modes=(1 2 3 0 7)
for ((g = 0; g < 50; g++)); do
  Lx=${widths[g % 5]}
  Ly=$(awk -v a="$Lx" -v r="${ratios[g % 11]}" 'BEGIN { printf "%.10g", a * r }')
  cases[gerado_$g]=$(case_text r.txt "$Lx" "$Ly" "${counts_x[g % 7]}" "${counts_y[g % 8]}" $((50 + 37 * g)) 1.0d-11 \
                     "${modes[g % 5]}" $((1 + g % 9)))
done

if [ "${1:-}" = --write-cases ]; then
  for name in "${!cases[@]}"; do
    mkdir -p "$2/$name"
    printf '%s\n' "${cases[$name]}" > "$2/$name/entrada_geral.ent"
  done
  exit 0
fi

linux_exe=$(realpath "$1")
win64_exe=$(realpath "$2")
win32_exe=${3:+$(realpath "$3")}
wine64=${4:-/usr/lib/wine/wine64}
wine32=${5:-/usr/lib/wine/wine}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$(dirname "$win64_exe")/../wineprefix}
unset DISPLAY
work=$(mktemp -d)
wineserver=$(dirname "$wine64")/wineserver
# A persistent wineserver with its output away from ours, ended on the way out.
# -p fails when a server already runs for the prefix; that one serves as well.
"$wineserver" -p </dev/null >/dev/null 2>&1 || true
trap '"$wineserver" -k </dev/null >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

sides=(win64)
if [ -n "$win32_exe" ]; then
  mkdir -p "$work/probe"
  if [ -x "$wine32" ] && (cd "$work/probe" && "$wine32" "$win32_exe" --version </dev/null >out 2>&1) && grep -q . "$work/probe/out"; then
    sides+=(win32)
  else
    # Without wine32:i386 Debian's wine tries an experimental WoW64 mode that ends
    # with status 0 and no output, hence the check for output.
    echo "SKIP win32: Wine's 32-bit loader does not start here (wine32:i386 needs dpkg --add-architecture i386)"
  fi
fi
declare -A exe=([win64]=$win64_exe [win32]=$win32_exe)
declare -A loader=([win64]=$wine64 [win32]=$wine32)

# Everything but the number on the last record.
masked() { LC_ALL=C sed '$ s/[0-9.][0-9.]*\r$/#\r/' "$1"; }

failures=0
for name in "${!cases[@]}"; do
  for side in linux "${sides[@]}"; do
    mkdir -p "$work/$name/$side"
    printf '%s\n' "${cases[$name]}" > "$work/$name/$side/entrada_geral.ent"
  done
  report=$(LC_ALL=C sed -n "1s/^'\([^']*\)'.*/\1/p" "$work/$name/linux/entrada_geral.ent")
  (cd "$work/$name/linux" && "$linux_exe" </dev/null >stdout 2>stderr) || true
  a=$work/$name/linux/$report
  verdict=""
  for side in "${sides[@]}"; do
    (cd "$work/$name/$side" && "${loader[$side]}" "${exe[$side]}" </dev/null >stdout 2>stderr) || true
    b=$work/$name/$side/$report
    if [ ! -s "$a" ] || [ ! -s "$b" ]; then
      verdict="$verdict; $side: no report ($(cat "$work/$name/linux/stderr" "$work/$name/$side/stderr"))"
    elif ! cmp -s <(masked "$a") <(masked "$b"); then
      verdict="$verdict; $side: reports differ"
      diff <(masked "$a") <(masked "$b") | head -n 20 || true
    elif [ -s "$work/$name/$side/stdout" ] || [ -s "$work/$name/$side/stderr" ]; then
      verdict="$verdict; $side: the Windows run printed something"
    fi
  done
  if [ -n "$verdict" ]; then
    echo "FAIL $name${verdict}"
    failures=$((failures + 1))
  else
    echo "same: $name ($(wc -c < "$a") bytes; linux ${sides[*]})"
  fi
done
echo "$(( ${#cases[@]} - failures )) of ${#cases[@]} cases the same on linux ${sides[*]}, $failures failed"
[ "$failures" -eq 0 ]
