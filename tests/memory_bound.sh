#!/bin/sh
# Memory on any input is the design's own size: run under an address-space
# limit of 100 MB, far below what holding the text would take.
#  - /dev/zero through a pipe ends at once at the line bound (status 2);
#  - 290 MB of design text whose blocks take 18 MB load through a pipe (and
#    -S ends the run right after loading, status 1);
#  - the same refused with both sizes by --memory=1M (status 3);
#  - an ID line claiming 2e9 blocks over three lines costs nothing: with the
#    bound raised past its 12 GB, the reader finds the blocks missing (11).
# Not run under the sanitizers, which reserve terabytes of address space.
kovra=$1
out=$(mktemp)
trap 'rm -f "$out"' EXIT
ulimit -v 100000 || { echo "ulimit -v is not available"; exit 77; }
fail() { echo "$1"; cat "$out"; exit 1; }
pad=$(printf '%090d' 0)
lines() { echo "ID 3 $1 3 3 0/0 3/3 1"; yes "1 2 3 # $pad" | head -n "$2"; }

head -c 300M /dev/zero | "$kovra" - -h2 >"$out"
[ $? -eq 2 ] && grep -q "^Err: <-> line 1 is longer than 65536 bytes" "$out" || fail "/dev/zero"
lines 3000000 3000000 | "$kovra" - -S -h2 >"$out"
[ $? -eq 1 ] && grep -q "^-S given. Skipped <->." "$out" || fail "290 MB of text"
lines 3000000 3000000 | "$kovra" - -S -h2 --memory=1M >"$out"
[ $? -eq 3 ] && grep -q "3000000 blocks of 3 points take 17 MiB, more than the memory bound of 1.0 MiB" "$out" || fail "--memory=1M"
lines 2000000000 3 | "$kovra" - -S -h2 --memory=100G >"$out"
[ $? -eq 11 ] && grep -q "^Err: <-> ends after 3 of 2000000000 blocks" "$out" || fail "claimed b"
exit 0
