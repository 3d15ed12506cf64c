#!/bin/bash
# Runs every example of the README (its sh code blocks) and of the man page
# (its EXAMPLES section) as shown, in order, in a scratch directory that
# holds the files they name, with the built kovra first on the PATH. An
# example fails when it exits above 1 (0 and 1 are the verdicts) or prints
# an error, an invalid or unknown option. Only what needs more than this
# machine is passed over, and named: building and installing, remote hosts,
# Slurm.
#
# The long options that --help lists are those the man page describes, so
# that neither the screen nor the page leaves one out.
#
# Usage: doc_examples.sh KOVRA_BINARY SOURCE_DIR [PYTHON_MODULE_DIR]
set -u
kovra=$1
src=$(realpath "$2")
command -v parallel > /dev/null || { echo "GNU parallel is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mkdir -p "$scratch/bin"
ln -s "$(realpath "$kovra")" "$scratch/bin/kovra"
# The Python examples run with the module as built (its directory is the
# third argument; without it they are passed over), on the system's python3.
python_dir=${3:-}
if [ -n "$python_dir" ]; then
  printf '#!/bin/sh\nPYTHONPATH="%s" exec /usr/bin/python3 "$@"\n' "$(realpath "$python_dir")" \
    > "$scratch/bin/python3"
  chmod +x "$scratch/bin/python3"
fi
export PATH="$scratch/bin:$PATH"

# A fresh directory with the files the examples name, for each document.
fixtures() {
  root=$1
  mkdir -p "$1/designs" && cd "$1" || exit 1
  cp -r "$src/samples" .
  cp samples/4901683a.616 .
  cp samples/4901683a.616 design.txt
  cp samples/4901683a.616 big.txt
  cp "$src/tests/data/public/C49_6_3_6_1_b163_lotto_valid.txt" wheel.txt
  cp "$src/tests/data/public/C18_5_3_4_1_b49_lotto.txt" blocks.txt
  cp samples/* designs/
  gzip -c wheel.txt > wheel.txt.gz
  cp "$src/docs/kovra-parts.slurm" .
}

# The README's sh blocks, continuation lines joined.
readme_examples() {
  awk '/^```sh$/ {on = 1; print "#block"; next} /^```$/ {on = 0; next} on' "$src/README.md" |
    sed -e ':a' -e '/\\$/N; s/\\\n//; ta'
}

# The man page's examples: the bold lines of its EXAMPLES section.
man_examples() {
  awk '/^\.SH EXAMPLES/ {on = 1; next} /^\.SH/ {on = 0}
       on && /^\.RS/ {print "#block"} on && /^\.B / {sub(/^\.B /, ""); print}' \
    "$src/docs/kovra.1" |
    sed -e 's/\\-/-/g' -e 's/\\(dq/"/g' -e "s/\\\\(aq/'/g" -e 's/\\e/\\/g'
}

# What this machine cannot run: a reason, or nothing.
skip_reason() {
  case "$1" in
  cmake* | "(cd build"* | sudo* | tools/check.sh*) echo "builds or installs" ;;
  "kovra FILE... [options]") echo "the synopsis" ;;
  *sbatch*) echo "needs Slurm" ;;
  python3*) [ -z "$python_dir" ] && echo "the Python module was not built" ;;
  *" -S "*) echo "needs remote hosts" ;;
  esac
}

failures=0
count=0
run() {
  local origin=$1 command=$2 reason
  # Each example starts where the document's first one did.
  if [ "$command" = "#block" ]; then
    cd "$root" || exit 1
    return
  fi
  reason=$(skip_reason "$command")
  if [ -n "$reason" ]; then
    echo "skipped ($reason): $command"
    return
  fi
  count=$((count + 1))
  # A directory change holds for the examples after it, as in a shell.
  if [[ $command == "cd "* ]]; then
    cd "${command#cd }" || failures=$((failures + 1))
    return
  fi
  local out status errors='Err:|ErrExit|Invalid option|unknown option|No such file'
  # A search of the logs prints what it finds.
  [[ $command == grep* ]] && errors='No such file'
  out=$(bash -c "$command" 2>&1 < /dev/null)
  status=$?
  if [ $status -gt 1 ] || grep -q -E "$errors" <<< "$out"; then
    echo "FAILED ($origin, status $status): $command"
    grep -E 'Err|Invalid|unknown|No such' <<< "$out" | head -5 | sed 's/^/    /'
    failures=$((failures + 1))
  else
    echo "ok ($origin, status $status): $command"
  fi
}

fixtures "$scratch/readme"
while IFS= read -r line; do
  [ -n "$line" ] && run README "$line"
done < <(readme_examples)
fixtures "$scratch/man"
while IFS= read -r line; do
  [ -n "$line" ] && run "man page" "$line"
done < <(man_examples)

# --help against the man page: the long options each names (--h, the
# short help's alias, aside).
help_options=$(kovra --help | grep -o -E '^  --[a-z-]*' | sed 's/^ *//' | sort -u)
man_options=$(sed -n '/^\.SH OPTIONS/,/^\.SH OUTPUT/p' "$src/docs/kovra.1" | sed 's/\\-/-/g' |
  grep -o -E '(^|[ "])--[a-z][a-z-]*' | sed 's/^[ "]*//' | grep -v -x -e '--h' | sort -u)
# "--" itself is described in the text, not as an option of its own.
man_options=$(printf '%s\n--\n' "$man_options" | sort -u)
if [ "$help_options" != "$man_options" ]; then
  echo "FAILED: --help and the man page name different long options:"
  diff <(echo "$help_options") <(echo "$man_options") | sed 's/^/    /'
  failures=$((failures + 1))
else
  echo "ok: --help lists the $(echo "$help_options" | wc -l) long options of the man page"
fi

echo "$count examples run, $failures failed"
[ $failures -eq 0 ] && [ $count -gt 10 ]
