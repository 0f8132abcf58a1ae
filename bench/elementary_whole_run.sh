#!/bin/sh
# A 1001 x 1001 run with sol_mode 3, the program before its own elementary
# functions (d711a9b, built here from git archive) against this one, runs
# alternating, each in a fresh folder; prints the median times and their ratio.
#   sh bench/elementary_whole_run.sh [runs, default 7] [itmax, default 2000]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-7}
itmax=${2:-2000}
base=build/base-d711a9b
if [ ! -x "$base/src/build/release/bin/calor2d" ]; then
  rm -rf "$base" && mkdir -p "$base/src"
  git archive d711a9b | tar -x -C "$base/src"
  (cd "$base/src" && cmake --preset release >/dev/null && cmake --build --preset release --target calor2d >/dev/null)
fi
cmake --preset release >/dev/null && cmake --build --preset release --target calor2d >/dev/null
old=$(pwd)/$base/src/build/release/bin/calor2d
new=$(pwd)/build/release/bin/calor2d

run_once() {  # exe -> nanoseconds
  dir=$(mktemp -d)
  printf "'resultado.txt'\n1.0\n1.0\n1001\n1001\n%s\n1.0d-12\n3\n100\n" "$itmax" >"$dir/entrada_geral.ent"
  start=$(date +%s%N)
  (cd "$dir" && "$1" </dev/null >/dev/null 2>&1)
  end=$(date +%s%N)
  rm -rf "$dir"
  echo $((end - start))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

o=""; n=""; i=0
while [ "$i" -lt "$runs" ]; do
  o="$o $(run_once "$old")"
  n="$n $(run_once "$new")"
  i=$((i + 1))
done
mo=$(echo $o | tr ' ' '\n' | median); mn=$(echo $n | tr ' ' '\n' | median)
echo "before (d711a9b) runs, ms: $(echo $o | tr ' ' '\n' | awk '{ printf "%d ", $1 / 1e6 }')"
echo "now runs, ms:              $(echo $n | tr ' ' '\n' | awk '{ printf "%d ", $1 / 1e6 }')"
awk -v a="$mo" -v b="$mn" 'BEGIN { printf "median: before %.0f ms, now %.0f ms, now/before = %.3f\n", a / 1e6, b / 1e6, b / a }'
