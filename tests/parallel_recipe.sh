#!/bin/sh
# Runs the README's recipe for checking a tree of designs in parallel on a
# small tree: one passing design, one failing design, one unreadable file.
# Usage: parallel_recipe.sh KOVRA_BINARY SOURCE_DIR (exit status 77: skipped)
set -eu
command -v parallel >/dev/null || { echo "GNU parallel is not installed"; exit 77; }
kovra_bin=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/designs/good" "$work/designs/bad"
ln -s "$kovra_bin" "$work/bin/kovra"
PATH="$work/bin:$PATH"
cp "$src/samples/4901683a.616" "$work/designs/good/"
printf 'ID 7 1 6 7 0/0 2/4 2 2 1 0 4 2 64 1 ...\n1 2 3 4 5 6\n' > "$work/designs/bad/fails_l2.txt"
printf 'ID 7 1 6 7 0/0 2/4 1 2 1 0 4 2 64 1 ...\n1 2 3 4 5 9\n' > "$work/designs/bad/range.txt"
cd "$work/designs"

# --- the recipe, as in the README ---
find . -type f ! -name '*.log' | parallel --joblog ../jobs.log \
  'kovra -h2 -A1 {} > {}.log 2>/dev/null' || true
grep -l -E 'FAIL|Err' $(find . -name '*.log') | sort > ../flagged.txt || true
# ---

expected=$(printf './bad/fails_l2.txt.log\n./bad/range.txt.log\n')
if [ "$(cat ../flagged.txt)" != "$expected" ]; then
  echo "flagged logs differ:"; cat ../flagged.txt; exit 1
fi
grep -q 'TestRetCode: OK' good/4901683a.616.log
test "$(wc -l < ../jobs.log)" -eq 4 # header and three jobs
echo "recipe ok"
