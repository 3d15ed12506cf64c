#!/bin/sh
# Peak memory (maximum resident set size, KiB) of the program on the designs
# the benchmarks time, one run each as a user would start it:
#   bench/peak_rss.sh [BUILD_DIR]      (default build/ci-release)
# Needs GNU time (/usr/bin/time).
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/ci-release}
wide=tests/data/wide
out=$(mktemp)
trap 'rm -f "$out"' EXIT
peak() {
  name=$1
  shift
  /usr/bin/time -o "$out" -f "%M KiB  $name" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$out" # the status line of a failing design comes first
}
peak "m = t, C(96,32,5) 759 blocks" \
  "$build/src/kovra" $wide/C96_32_5_5_1_b759_S5_8_24_by_4.txt -h2
peak "m = t, C(96,32,5) 759 blocks, --memory=1M (split counting)" \
  "$build/src/kovra" $wide/C96_32_5_5_1_b759_S5_8_24_by_4.txt -h2 --memory=1M
peak "m > t, 5/69 wheel, complete walk" \
  "$build/src/kovra" $wide/C69_5_2_5_1_b71_lotto_2if5.txt -h2 -Q0 -q0 -o2147483647
peak "m > t, 70 numbers, complete walk listing 537824 losing" \
  "$build/src/kovra" $wide/C70_5_2_5_1_b60_five_groups_FAIL537824.txt -h2 -Q0 -q0 -o2147483647
peak "classic, C(49,6,3,6) 163 blocks, complete walk" \
  "$build/src/kovra" tests/data/public/C49_6_3_6_1_b163_lotto_valid.txt -h2 -a0 -v49 -k6 -t3 \
  -m6 -l1 -Q0 -q0
# The pigeonhole C(54,7,3,7) is built in memory by the benchmark program:
# its peak is that of the benchmark process running the engine on it.
peak "classic, pigeonhole C(54,7,3,7), benchmark process" \
  "$build/bench/kovra_bench" --benchmark_filter='BM_Fast/Pigeonhole54$' --benchmark_min_time=0.001
