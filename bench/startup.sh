#!/usr/bin/env bash
# Start-up time to the first paint, Vantrix next to a bare Qt window, on one
# virtual X server: the medians of alternating runs and their ratio.
# usage: bench/startup.sh build-dir [runs]
set -euo pipefail
build=$(readlink -f "$1")
runs=${2:-15}
if [ -z "${VANTRIX_BENCH_INNER:-}" ]; then
  export VANTRIX_BENCH_INNER=1
  exec xvfb-run -a -s "-noreset -screen 0 1280x800x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/bench/bench_startup" "$work/"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for mode in bare bare-text vantrix; do
  "$work/bench_startup" "$mode" "$(date +%s%N)" >/dev/null 2>&1 # warm the caches
done
# Alternating runs, so that a change in the machine's load meets both alike.
for _ in $(seq "$runs"); do
  for mode in bare bare-text vantrix; do
    "$work/bench_startup" "$mode" "$(date +%s%N)" 2>/dev/null >> "$work/$mode.txt"
  done
done
for mode in bare bare-text vantrix; do
  printf '%-9s median %s ms to the first paint (%s runs)\n' "$mode" "$(median < "$work/$mode.txt")" "$runs"
done
awk -v b="$(median < "$work/bare.txt")" -v t="$(median < "$work/bare-text.txt")" \
  -v v="$(median < "$work/vantrix.txt")" \
  'BEGIN { printf "ratio     %.2f to the bare window, %.2f to the bare window with text\n", v / b, v / t }'
