#!/bin/sh
# The certificate against what docs/ promise. "schema": the golden
# certificates (tests/golden/json_*), one of --reduce and one of --part are
# valid under docs/certificate.schema.json. "sha256": the normal-form recipe of
# docs/certificate.md, run as written there, gives each design's sha256.
# Usage: certificate_checks.sh schema|sha256 KOVRA_BINARY SOURCE_DIR
# (exit status 77: skipped)
set -eu
mode=$1
kovra_bin=$2
src=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "$mode" = schema ]; then
  command -v python3 >/dev/null || { echo "python3 is not installed"; exit 77; }
  python3 -c 'import jsonschema' 2>/dev/null || { echo "python3 has no jsonschema"; exit 77; }
  # The transcripts mask the run time; any number stands in for it.
  cat "$src"/tests/golden/json_*.stdout "$src"/tests/golden/json_*.files/* | grep '^{' |
    sed 's/"seconds":<SECS>/"seconds":0.5/' > "$work/certificates"
  # The keys of --reduce, of a share (--part), whose digest no transcript keeps,
  # and of --canonical.
  printf '1 2 3\n1 4 5\n1 6 7\n2 4 6\n1 2 3\n2 5 7\n3 4 7\n3 5 6\n' > "$work/fano.txt"
  for extra in --reduce --part=2/2 --canonical; do
    "$kovra_bin" "$work/fano.txt" -v7 -k3 -t2 -m2 -l1 -y3 --json "$extra" 2>/dev/null
  done >> "$work/certificates"
  # A design past 128 points (points past 128 in its losing pairs).
  "$kovra_bin" "$src/tests/data/wide/C133_12_2_2_1_b132_PG2_11_minus_first.txt" -o3 -y3 --json \
    2>/dev/null >> "$work/certificates" || [ $? -eq 1 ] # it fails: status 1
  exec python3 -c '
import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
lines = open(sys.argv[2]).read().splitlines()
for n, line in enumerate(lines, 1):
    for e in validator.iter_errors(json.loads(line)):
        sys.exit("certificate %d: %s at %s" % (n, e.message, list(e.absolute_path)))
if len(lines) < 8: sys.exit("only %d certificates found" % len(lines))
print("%d certificates valid" % len(lines))' "$src/docs/certificate.schema.json" "$work/certificates"
fi

# The recipe is the shell block after its marker in the document.
sed -n '/^<!-- normal form recipe/,/^```$/p' "$src/docs/certificate.md" | sed '1,2d;$d' \
  > "$work/recipe.sh"
grep -q sha256sum "$work/recipe.sh"
# FILE BASE PARAMETERS...: the recipe's sum against the certificate's.
check() {
  file=$1
  base=$2
  shift 2
  want=$("$kovra_bin" "$file" -a"$base" "$@" -y- --json 2>/dev/null |
    sed 's/.*"sha256":"\([0-9a-f]*\)".*/\1/')
  got=$(sed "s|^base=.*|base=$base|; s|^file=.*|file='$file'|" "$work/recipe.sh" | sh |
    cut -d' ' -f1)
  [ -n "$want" ] && [ "$got" = "$want" ] || { echo "$file: recipe $got, certificate $want"; exit 1; }
  echo "$file: $got"
}
# Blocks and points out of order, a block repeated in another order.
printf '5 1 3\n2 9 4\n1 3 5\n' > "$work/unsorted.txt"
check "$work/unsorted.txt" 1 -v9 -k3 -t2 -m2 -l1
check "$src/samples/4901683a.616" 1
# Points of four digits sort as numbers: 998 before 1000.
printf '1000 1001 1002\n998 999 1000\n' > "$work/wide.txt"
check "$work/wide.txt" 1 -v1024 -k3 -t2 -m2 -l1
check "$src/tests/data/public/C6_5_3_4_1_b25_duplicates.txt" 0 -v6 -k5 -t3 -m4 -l1
check "$src/tests/data/public/C49_6_3_6_1_b162_points2to50_FAIL.txt" 2 -v49 -k6 -t3 -m6 -l1
# The canonical recipe: the log's numbering applied to the design, then the
# normal-form recipe, gives the certificate's canonical_sha256.
cd "$work"
for design in C7_3_1_2_5_b7_fano C24_8_5_5_1_b759_S5_8_24_relabelled; do
  cp "$src/tests/data/wide/$design.txt" design.txt
  run=$("$kovra_bin" design.txt --canonical -y- -h2 --json 2>&1)
  want=$(echo "$run" | sed -n 's/.*"canonical_sha256":"\([0-9a-f]*\)".*/\1/p')
  label=$(echo "$run" | sed -n 's/^Canonical numbers of the points 1\.\.[0-9]*: //p')
  sed -n '/^<!-- canonical recipe/,/^```$/p' "$src/docs/certificate.md" | sed '1,2d;$d' |
    sed "s|^label=.*|label='$label'|; s|tests/data/wide/C7_3_1_2_5_b7_fano.txt|design.txt|" | sh
  got=$(sed "s|^base=.*|base=1|; s|^file=.*|file=canonical.txt|" recipe.sh | sh | cut -d' ' -f1)
  [ -n "$want" ] && [ "$got" = "$want" ] || { echo "$design: canonical $got, want $want"; exit 1; }
  echo "$design canonical: $got"
done
