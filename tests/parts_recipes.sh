#!/bin/sh
# Runs the README's recipes for sharing one design's test: GNU parallel on
# this machine and (with -S : for the local host) over ssh hosts, and the
# Slurm job array's script with the array variable set for each task as
# Slurm would. Each merge must print what one whole run prints of its test.
# Usage: parts_recipes.sh KOVRA_BINARY SOURCE_DIR (exit status 77: skipped)
set -eu
command -v parallel >/dev/null || { echo "GNU parallel is not installed"; exit 77; }
kovra_bin=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/local" "$work/hosts" "$work/slurm"
ln -s "$kovra_bin" "$work/bin/kovra"
PATH="$work/bin:$PATH"
export PATH
design="$src/tests/data/public/C49_6_3_6_1_b162_lotto_FAIL462.txt"
opts="-v49 -k6 -t3 -m6 -l1 -a0 -o3"

# The test section of a log: the losing lines, the count and the verdict.
verdict() { grep -E 'LOSING combination|^Losing combinations|^TestRetCode' "$1"; }

kovra "$design" $opts -Q0 -h2 > "$work/whole.log" || true
verdict "$work/whole.log" > "$work/whole.txt"

# --- GNU parallel, as in the README ---
cd "$work/local"
parallel kovra "$design" $opts --part={}/8 --json=part{}.json -h2 ::: 1 2 3 4 5 6 7 8 > /dev/null || true
kovra --merge part*.json $opts -h2 > merged.log || true
verdict merged.log | diff "$work/whole.txt" -

# --- GNU parallel over hosts (":" is this machine) ---
cd "$work/hosts"
parallel -S 2/: --workdir . kovra "$design" $opts --part={}/4 --json=part{}.json -h2 \
  ::: 1 2 3 4 > /dev/null || true
kovra --merge part*.json $opts -h2 > merged.log || true
verdict merged.log | diff "$work/whole.txt" -

# --- the Slurm job array, one task after another ---
cd "$work/slurm"
for i in 1 2 3 4 5; do
  SLURM_ARRAY_TASK_ID=$i DESIGN="$design" PARTS=5 OPTIONS="$opts" SLURM_CPUS_PER_TASK=1 \
    sh "$src/docs/kovra-parts.slurm" || true
done
kovra --merge part*.json $opts -h2 > merged.log || true
verdict merged.log | diff "$work/whole.txt" -
echo "recipes ok"
