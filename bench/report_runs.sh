#!/bin/sh
# Whole runs of the program that write large reports, each side by side with the
# program of an earlier commit built here from `git archive` in the same way:
#   c    1001 x 1001 nodes, 200 sweeps, every node listed (about 127 MB);
#   401  401 x 401 nodes, 200 sweeps, every node listed (about 20 MB).
# Runs alternate between the two programs in one folder on the disk of the build
# tree; each pair gives a ratio, shown as the median with its lowest and highest.
# Report writing is shown in MB/s (report bytes over the run's time less the
# processing time the report states) beside `dd` writing as many bytes to the
# same folder with 1 MiB and 1 KiB blocks in the same minutes.
#   sh bench/report_runs.sh path/to/calor2d [baseline commit, default d711a9b] [pairs, default 5]
set -eu
new=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
base_commit=${2:-d711a9b}
pairs=${3:-5}
top=$(cd "$(dirname "$0")/.." && pwd)
work="$top/build/report-runs"
base="$work/$base_commit"
rm -rf "$work/run"
mkdir -p "$work/run"

# The baseline from its own sources; a build left by an earlier run is reused.
if [ ! -d "$base/src" ]; then
  mkdir -p "$base/src"
  git -C "$top" archive "$base_commit" | tar -x -C "$base/src"
fi
cmake -S "$base/src" -B "$base/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALOR2D_WERROR=OFF \
  -DCALOR2D_TESTS=OFF -DCALOR2D_GRAFICOS=OFF >/dev/null
cmake --build "$base/build" --target calor2d -j2 >/dev/null
old="$base/build/bin/calor2d"

now_ns() { date +%s%N; }

# One run in the shared folder: prints "<nanoseconds> <report bytes> <processing seconds>".
run_once() {
  printf "'r.txt'\n1.0\n1.0\n%s\n%s\n200\n1.0d-12\n1\n10\n" "$2" "$3" >"$work/run/entrada_geral.ent"
  rm -f "$work/run/r.txt"
  sync
  start=$(now_ns)
  (cd "$work/run" && "$1" </dev/null >/dev/null 2>&1)
  end=$(now_ns)
  bytes=$(wc -c <"$work/run/r.txt")
  tcpu=$(awk '/Tempo de processamento/ { print $NF }' "$work/run/r.txt")
  echo "$((end - start)) $bytes $tcpu"
}

# dd writing `bytes` in blocks of `bs` bytes into the same folder: nanoseconds.
dd_once() {
  rm -f "$work/run/dd.out"
  sync
  start=$(now_ns)
  dd if=/dev/zero of="$work/run/dd.out" bs="$2" count=$(($1 / $2)) 2>/dev/null
  end=$(now_ns)
  rm -f "$work/run/dd.out"
  echo "$((end - start))"
}

stats() {  # median, lowest, highest of the numbers on standard input
  sort -g | awk '{ v[NR] = $1 } END { printf "%s %s %s", v[int((NR + 1) / 2)], v[1], v[NR] }'
}

printf "baseline %s, %s pairs per case, folder %s\n\n" "$base_commit" "$pairs" "$work/run"
for run_case in "c 1001 1001" "401 401 401"; do
  set -- $run_case
  id=$1 nx=$2 ny=$3
  ratios="" olds="" news="" mbs_old="" mbs_new="" dd1m="" dd1k=""
  i=0
  while [ "$i" -lt "$pairs" ]; do
    set -- $(run_once "$old" "$nx" "$ny"); t_old=$1 bytes=$2 p_old=$3
    set -- $(run_once "$new" "$nx" "$ny"); t_new=$1 p_new=$3
    d1m=$(dd_once "$bytes" 1048576)
    d1k=$(dd_once "$bytes" 1024)
    ratios="$ratios$(awk -v a="$t_old" -v b="$t_new" 'BEGIN { print a / b }')
"
    olds="$olds$(awk -v t="$t_old" 'BEGIN { print t / 1e9 }')
"
    news="$news$(awk -v t="$t_new" 'BEGIN { print t / 1e9 }')
"
    mbs_old="$mbs_old$(awk -v t="$t_old" -v p="$p_old" -v b="$bytes" 'BEGIN { print b / 1e6 / (t / 1e9 - p) }')
"
    mbs_new="$mbs_new$(awk -v t="$t_new" -v p="$p_new" -v b="$bytes" 'BEGIN { print b / 1e6 / (t / 1e9 - p) }')
"
    dd1m="$dd1m$(awk -v t="$d1m" -v b="$bytes" 'BEGIN { print b / 1e6 / (t / 1e9) }')
"
    dd1k="$dd1k$(awk -v t="$d1k" -v b="$bytes" 'BEGIN { print b / 1e6 / (t / 1e9) }')
"
    i=$((i + 1))
  done
  printf "case %s: %s x %s nodes, every node listed, %s bytes of report\n" "$id" "$nx" "$ny" "$bytes"
  show() { printf "  %-34s %s\n" "$1" "$(printf "%s" "$2" | stats | awk -v u="$3" '{ printf "%.3f%s (%.3f .. %.3f)", $1, u, $2, $3 }')"; }
  show "whole run, baseline" "$olds" " s"
  show "whole run, this program" "$news" " s"
  show "ratio baseline / this program" "$ratios" "x"
  show "report writing, baseline" "$mbs_old" " MB/s"
  show "report writing, this program" "$mbs_new" " MB/s"
  show "dd, 1 MiB blocks" "$dd1m" " MB/s"
  show "dd, 1 KiB blocks" "$dd1k" " MB/s"
  echo
done
rm -rf "$work/run"
