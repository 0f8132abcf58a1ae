#!/bin/sh
# The elementary functions per call (bench_elementary), this tree against the
# tree of a baseline commit (built here from git archive), processes alternating.
# Each process gives own / C library per routine; prints, per routine, the median
# and the range over the runs of this tree's ratio to the C library and of its
# time per call over the baseline's (the two from adjacent processes).
#   sh bench/elementary_call_runs.sh [runs, default 7] [baseline, default 9dc63e1]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-7}
rev=${2:-9dc63e1}
base=build/base-$rev
if [ ! -x "$base/src/build/bench/bin/bench_elementary" ]; then
  rm -rf "$base" && mkdir -p "$base/src"
  git archive "$rev" | tar -x -C "$base/src"
  (cd "$base/src" && cmake --preset bench >/dev/null && cmake --build --preset bench --target bench_elementary -j2 >/dev/null)
fi
cmake --preset bench >/dev/null && cmake --build --preset bench --target bench_elementary -j2 >/dev/null
out=$(mktemp)
esc=$(printf '\033')
i=0
while [ "$i" -lt "$runs" ]; do
  for side in new old; do
    exe=build/bench/bin/bench_elementary
    [ "$side" = old ] && exe=$base/src/build/bench/bin/bench_elementary
    "$exe" --benchmark_min_time=0.1 2>/dev/null | sed -e "s/$esc\[[0-9;]*m//g" | sed -n "s/^\([a-z_]*\) *own \/ C library = \([0-9.]*\) (median of 5, \([0-9.]*\) vs \([0-9.]*\) ns per call)/$i $side \1 \2 \3 \4/p" >>"$out"
  done
  i=$((i + 1))
done
awk -v rev="$rev" '
  { key = $1 " " $3; if ($2 == "new") { lib[key] = $4; ns[key] = $5; libns[key] = $6 } else old[key] = $5; names[$3] = 1 }
  function stats(a, n,   i, j, t) {  # sorts a[1..n]; median, min, max
    for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
    return sprintf("%.2f (%.2f-%.2f)", (n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2), a[1], a[n])
  }
  END {
    printf "%-11s %-24s %-24s %s\n", "routine", "own / C library", "own / " rev, "ns per call: own, C library, " rev
    split("sin sinh_small sinh cosh", order, " ")
    for (o = 1; o <= 4; o++) { f = order[o]; if (!(f in names)) continue
      n = 0; split("", r1); split("", r2); split("", a); split("", b); split("", c)
      for (key in ns) { split(key, k, " "); if (k[2] != f || !(key in old)) continue
        n++; r1[n] = lib[key]; r2[n] = ns[key] / old[key]; a[n] = ns[key]; b[n] = libns[key]; c[n] = old[key] }
      printf "%-11s %-24s %-24s %s, %s, %s\n", f, stats(r1, n), stats(r2, n), stats(a, n), stats(b, n), stats(c, n)
    }
  }' "$out"
rm -f "$out"
