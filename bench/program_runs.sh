#!/bin/sh
# The program as a user runs it: one solve per process, in a fresh folder with
# its own case file and standard input closed, on cases a, b and d; each run
# both free to use every processor and pinned to one (taskset), side by side.
# A solve's first hand-overs and where the scheduler puts a new thread show
# here; bench_solver, which solves many times in one process, cannot show them.
# Times are whole runs (reading, solving, the report, the editor stand-in).
#   sh bench/program_runs.sh path/to/calor2d [runs per case, default 5]
set -eu
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
runs=${2:-5}
command -v taskset >/dev/null 2>&1 && pin="taskset -c 0" || pin=""

# id Lx Ly Nx Ny itmax tol
cases="a 1.0 1.0 101 101 100000 1.0d-8
b 1.0 1.0 301 301 20000 1.0d-12
d 1.0 4.0 41 161 100000 1.0d-10"

now_ns() { date +%s%N; }

# One run in a fresh folder: prints "<nanoseconds> <iterations>".
run_once() {
  dir=$(mktemp -d)
  printf "'resultado.txt'\n%s\n%s\n%s\n%s\n%s\n%s\n2\n1000\n" "$2" "$3" "$4" "$5" "$6" "$7" \
    >"$dir/entrada_geral.ent"
  start=$(now_ns)
  (cd "$dir" && $1 "$bin" </dev/null >/dev/null 2>&1)
  end=$(now_ns)
  it=$(awk '/= it:/ { print $1 }' "$dir/resultado.txt")
  rm -rf "$dir"
  echo "$((end - start)) $it"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf "%-4s %8s %14s %14s %12s %14s\n" case sweeps "all CPUs, s" "one CPU, s" "ratio" "ns/node-sweep"
echo "$cases" | while read -r id Lx Ly Nx Ny itmax tol; do
  free=""; pinned=""; it=0
  i=0
  while [ "$i" -lt "$runs" ]; do
    set -- $(run_once "" "$Lx" "$Ly" "$Nx" "$Ny" "$itmax" "$tol")
    free="$free$1
"
    it=$2
    if [ -n "$pin" ]; then
      set -- $(run_once "$pin" "$Lx" "$Ly" "$Nx" "$Ny" "$itmax" "$tol")
      pinned="$pinned$1
"
    fi
    i=$((i + 1))
  done
  f=$(printf "%s" "$free" | median)
  if [ -n "$pin" ]; then p=$(printf "%s" "$pinned" | median); else p=0; fi
  awk -v id="$id" -v it="$it" -v f="$f" -v p="$p" -v nx="$Nx" -v ny="$Ny" 'BEGIN {
    nodes = (nx - 2) * (ny - 2)
    one = "-"; ratio = "-"
    if (p > 0) { one = sprintf("%.3f", p / 1e9); ratio = sprintf("%.2fx", p / f) }
    printf "%-4s %8d %14.3f %14s %12s %14.3f\n", id, it, f / 1e9, one, ratio, f / (it * nodes)
  }'
done
