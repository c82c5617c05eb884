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

# Wall seconds of one run of a command, to the millisecond.
wall_seconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN {printf "%.3f", ns / 1e9}'
}

median_of() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Median wall seconds of RUNS runs of a command, and its peak RSS (KB) from one more run.
measure() {
  local runs=$1; shift
  local times=()
  for _ in $(seq "$runs"); do times+=("$(wall_seconds "$@")"); done
  local rss
  rss=$( { /usr/bin/time -f '%M' "$@" >/dev/null; } 2>&1 | tail -n 1)
  echo "$(median_of "${times[@]}") $rss"
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
# Start-up: mean milliseconds over 100 runs on an empty file, beside the same for /bin/true,
# the cost of starting any process on this machine.
per_run_ms() {
  local start end
  start=$(date +%s%N)
  for _ in $(seq 100); do "$@" >/dev/null; done
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN {printf "%.2f", ns / 100 / 1e6}'
}
printf '%-34s %10s ms (/bin/true: %s ms)\n' "tolu-parse-files empty file" \
  "$(per_run_ms "$checker" "$empty")" "$(per_run_ms /bin/true)"
tree_mb=$(du -sb "$out/tree" | awk '{printf "%.2f", $1 / 1e6}')
# Both cores against one, run in turns so that drifts in the machine's speed hit both alike.
both=() one=()
for _ in $(seq 9); do
  both+=("$(wall_seconds "$checker" "$out/tree")")
  one+=("$(wall_seconds taskset -c 0 "$checker" "$out/tree")")
done
secs=$(median_of "${both[@]}")
secs1=$(median_of "${one[@]}")
printf '%-34s %10s %10.1f\n' "tolu-parse-files 2000 files ($tree_mb MB)" "$secs" \
  "$(awk -v m="$tree_mb" -v s="$secs" 'BEGIN {print (s > 0 ? m / s : 0)}')"
printf '%-34s %10s %10s\n' "  same on one core (speed-up)" "$secs1" \
  "x$(awk -v a="$secs1" -v b="$secs" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}')"
echo
# In process: medians of five repetitions, since this machine's speed drifts between runs.
"$build/bench/front_end_bench" --benchmark_min_time=0.5 --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '^(Benchmark|-+$|BM_.*_median)' 
echo
bench/instructions.sh "$build" "$out/1m.tos"
echo
# The language server through a real client (needs Node.js and npm): latency on a generated
# 10,000-line file and memory with 20 of them open.
if command -v node >/dev/null && command -v npm >/dev/null && [ -x "$build/tolu-lsp" ]; then
  cmake -DNPM="$(command -v npm)" -DSOURCE=tests/lsp -DDESTINATION="$build/lsp-client" \
    -P tests/lsp/npm_ci.cmake >/dev/null
  TOLU_LSP="$build/tolu-lsp" TOLU_LSP_MODULES="$build/lsp-client" \
    node bench/lsp_bench.mjs "$gen" "$out"
else
  echo "tolu-lsp: skipped (needs node, npm and $build/tolu-lsp)"
fi
