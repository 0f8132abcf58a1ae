#!/bin/sh
# The program as a user runs it, against a baseline build, one solve per
# process in a fresh folder with its own case file and standard input closed.
# Each run of a case runs both programs, in alternating order, so both meet the
# same load; the ratio of each pair (baseline time / new time) is reported as
# the median with the lowest and highest. Times are whole runs (reading,
# solving, the report, the editor stand-in).
#   sh bench/program_runs.sh new/calor2d baseline/calor2d [runs per case, default 5]
set -eu
abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
new=$(abs "$1")
base=$(abs "$2")
runs=${3:-5}
command -v taskset >/dev/null 2>&1 && pin="taskset -c 0" || pin=""

# id pinned Lx Ly Nx Ny itmax tol sol_mode hist_step
cases="a no 1.0 1.0 101 101 100000 1.0d-8 2 1000
b no 1.0 1.0 301 301 20000 1.0d-12 2 1000
e no 1.0 1.0 1001 1001 300 1.0d-12 3 1000
b1 yes 1.0 1.0 301 301 20000 1.0d-12 2 1000"

now_ns() { date +%s%N; }

# One run in a fresh folder: prints "<nanoseconds> <iterations>".
run_once() {
  bin=$1; shift
  dir=$(mktemp -d)
  printf "'resultado.txt'\n%s\n%s\n%s\n%s\n%s\n%s\n%s\n%s\n" "$@" >"$dir/entrada_geral.ent"
  start=$(now_ns)
  (cd "$dir" && $prefix "$bin" </dev/null >/dev/null 2>&1)
  end=$(now_ns)
  it=$(awk '/= it:/ { print $1 }' "$dir/resultado.txt")
  sed '/Tempo de processamento/d' "$dir/resultado.txt" | cksum | cut -d' ' -f1 >"$dir.sum"
  rm -rf "$dir"
  echo "$((end - start)) $it $dir.sum"
}

printf "%-4s %-7s %7s %12s %12s %10s %10s %10s\n" case pinned sweeps "baseline, s" "new, s" "ratio" "lowest" "highest"
echo "$cases" | while read -r id pinned Lx Ly Nx Ny itmax tol mode step; do
  prefix=""
  if [ "$pinned" = yes ]; then
    [ -n "$pin" ] || continue
    prefix=$pin
  fi
  ratios=""; tb=""; tn=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    if [ $((i % 2)) -eq 0 ]; then
      set -- $(run_once "$base" "$Lx" "$Ly" "$Nx" "$Ny" "$itmax" "$tol" "$mode" "$step"); b=$1; bs=$3
      set -- $(run_once "$new" "$Lx" "$Ly" "$Nx" "$Ny" "$itmax" "$tol" "$mode" "$step"); n=$1; it=$2; ns=$3
    else
      set -- $(run_once "$new" "$Lx" "$Ly" "$Nx" "$Ny" "$itmax" "$tol" "$mode" "$step"); n=$1; it=$2; ns=$3
      set -- $(run_once "$base" "$Lx" "$Ly" "$Nx" "$Ny" "$itmax" "$tol" "$mode" "$step"); b=$1; bs=$3
    fi
    if ! cmp -s "$bs" "$ns"; then
      echo "case $id: the reports differ (time aside)" >&2
      exit 1
    fi
    rm -f "$bs" "$ns"
    ratios="$ratios$b $n
"
    i=$((i + 1))
  done
  printf "%s" "$ratios" | awk -v id="$id" -v pinned="$pinned" -v it="$it" '
    { base[NR] = $1; new[NR] = $2; r[NR] = $1 / $2 }
    END {
      n = NR
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) {
        if (r[j] < r[i]) { t = r[i]; r[i] = r[j]; r[j] = t }
        if (base[j] < base[i]) { t = base[i]; base[i] = base[j]; base[j] = t }
        if (new[j] < new[i]) { t = new[i]; new[i] = new[j]; new[j] = t }
      }
      m = int((n + 1) / 2)
      printf "%-4s %-7s %7d %12.3f %12.3f %9.2fx %9.2fx %9.2fx\n", id, pinned, it, base[m] / 1e9, new[m] / 1e9, r[m], r[1], r[n]
    }'
done
