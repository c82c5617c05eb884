#!/usr/bin/env bash
# Whole-process and in-process benchmarks of the front end; prints one table.
# usage: bench/run.sh BUILD_DIR
set -euo pipefail
build=${1:-build-bench}
out=bench/out
mkdir -p "$out"
gen="$build/bench/generate_corpus"
checker="$build/tolu-parse-files"

[ -f "$out/100k.tos" ] || "$gen" 1 100000 "$out/100k.tos"
[ -f "$out/1m.tos" ] || "$gen" 2 1000000 "$out/1m.tos"
[ -f "$out/10m.tos" ] || "$gen" 3 10000000 "$out/10m.tos"
[ -d "$out/tree" ] || "$gen" 4 5000 "$out/tree" 2000
empty="$out/empty.tos"
: > "$empty"

# median wall seconds and peak RSS (KB) of RUNS runs of a command
measure() {
  local runs=$1; shift
  local times=() rss=0
  for _ in $(seq "$runs"); do
    local line
    line=$( { /usr/bin/time -f '%e %M' "$@" >/dev/null; } 2>&1 | tail -n 1)
    times+=("${line% *}")
    rss=${line#* }
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  echo "$median $rss"
}

size_mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN {printf "%.2f", b / 1e6}'; }

printf '%-34s %10s %10s %12s\n' "whole process (median of runs)" "seconds" "MB/s" "bytes/byte"
for f in 100k 1m 10m; do
  read -r secs rss < <(measure 5 "$checker" "$out/$f.tos")
  mb=$(size_mb "$out/$f.tos")
  printf '%-34s %10s %10.1f %12.1f\n' "tolu-parse-files $f ($mb MB)" "$secs" \
    "$(awk -v m="$mb" -v s="$secs" 'BEGIN {print (s > 0 ? m / s : 0)}')" \
    "$(awk -v r="$rss" -v m="$mb" 'BEGIN {print r * 1024 / (m * 1e6)}')"
done
read -r secs _ < <(measure 11 "$checker" "$empty")
printf '%-34s %10s\n' "tolu-parse-files empty file" "$secs"
tree_mb=$(du -sb "$out/tree" | awk '{printf "%.2f", $1 / 1e6}')
read -r secs _ < <(measure 5 "$checker" "$out/tree")
printf '%-34s %10s %10.1f\n' "tolu-parse-files 2000 files ($tree_mb MB)" "$secs" \
  "$(awk -v m="$tree_mb" -v s="$secs" 'BEGIN {print (s > 0 ? m / s : 0)}')"
read -r secs1 _ < <(measure 5 taskset -c 0 "$checker" "$out/tree")
printf '%-34s %10s %10s\n' "  same on one core (speed-up)" "$secs1" \
  "x$(awk -v a="$secs1" -v b="$secs" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}')"
echo
# In process: medians of five repetitions, since this machine's speed drifts between runs.
"$build/bench/front_end_bench" --benchmark_min_time=0.5 --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '^(Benchmark|-+$|BM_.*_median)' 
