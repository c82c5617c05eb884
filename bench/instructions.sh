#!/usr/bin/env bash
# Instructions per source byte for each stage of one checker run, by callgrind: deterministic,
# so it shows what a change to the code costs even when the machine's speed drifts.
# usage: bench/instructions.sh BUILD_DIR FILE
set -euo pipefail
build=${1:-build-bench}
file=${2:-bench/out/1m.tos}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

valgrind --tool=callgrind --callgrind-out-file="$out/cg" "$build/tolu-parse-files" "$file" \
  >/dev/null 2>"$out/log"
callgrind_annotate --inclusive=yes "$out/cg" >"$out/annotated" 2>/dev/null

bytes=$(stat -c %s "$file")
# The inclusive count of the first function whose name matches; 0 when none does.
inclusive() {
  grep -E "$1" "$out/annotated" | head -n 1 | awk '{gsub(",", "", $1); print $1 + 0}'
}
total=$(inclusive 'PROGRAM TOTALS')
lexing=$(inclusive 'tolu::TokenStream::next\(')
parsing=$(inclusive 'tolu::parsing::Parser::parse_program\(\)')
validation=$(inclusive 'tolu::validate_program\(')
inference=$(inclusive 'tolu::annotate_program\(')

per_byte() { awk -v n="$1" -v b="$bytes" 'BEGIN {printf "%8.1f", n / b}'; }
printf '%-34s %8s\n' "instructions per source byte" "$(basename "$file")"
printf '%-34s %s\n' "lexing (TokenStream::next)" "$(per_byte "$lexing")"
printf '%-34s %s\n' "parsing, without lexing" "$(per_byte $((parsing - lexing)))"
printf '%-34s %s\n' "validation" "$(per_byte "$validation")"
printf '%-34s %s\n' "inference" "$(per_byte "$inference")"
printf '%-34s %s\n' "the rest (reading, start-up)" \
  "$(per_byte $((total - parsing - validation - inference)))"
printf '%-34s %s\n' "whole process" "$(per_byte "$total")"
