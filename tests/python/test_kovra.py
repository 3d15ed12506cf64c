"""The Python module against designs with known answers, brute force and
the command line's own certificates and messages."""
import itertools
import json
import os
import subprocess

import numpy as np
import pytest

import kovra

SRC = os.environ["KOVRA_SOURCE_DIR"]
KOVRA = os.environ["KOVRA_BINARY"]
SAMPLE = os.path.join(SRC, "samples", "4901683a.616")
FAIL462 = os.path.join(SRC, "tests", "data", "public", "C49_6_3_6_1_b162_lotto_FAIL462.txt")


def cli_certificate(*args):
    out = subprocess.run([KOVRA, *args, "--json", "-h2"], capture_output=True, text=True)
    return json.loads(out.stdout.splitlines()[-1])


def test_known_verdicts():
    sample = kovra.load(SAMPLE)
    assert (sample.v, sample.k, sample.t, sample.m, sample.l, len(sample)) == (49, 6, 3, 6, 1, 168)
    r = kovra.verify(sample)
    assert r.ok and not r.undecided and r.losing_count == 0 and r.first_losing == []
    wheel = kovra.load(FAIL462, v=49, k=6, t=3, m=6, l=1, base=0)
    r = kovra.verify(wheel, max_losing=2)
    assert not r.ok and r.verdict == "FAIL" and r.losing_count == 462
    assert r.first_losing == [(0, 11, 23, 26, 27, 28), (0, 11, 23, 26, 27, 29)]
    assert r.certificate["losing"]["count"] == 462


def test_lists_tuples_and_arrays_give_the_command_lines_certificate():
    rows = kovra.load(FAIL462, v=49, k=6, t=3, m=6, l=1, base=0).blocks
    cli = cli_certificate(FAIL462, "-v49", "-k6", "-t3", "-m6", "-l1", "-a0", "-Q0")
    for blocks in (rows, [list(b) for b in rows], np.array(rows, dtype=np.int32)):
        r = kovra.verify(blocks, v=49, t=3, m=6, base=0)
        assert r.certificate["sha256"] == cli["sha256"]
        assert r.certificate["losing"] == {"count": 462, "first": cli["losing"]["first"]}


def test_profile_by_brute_force():
    # A small wheel: every 4-set of 1..10 against six blocks of 5.
    blocks = [(1, 2, 3, 4, 5), (1, 2, 6, 7, 8), (3, 4, 6, 9, 10), (5, 7, 8, 9, 10),
              (1, 3, 7, 9, 10), (2, 4, 5, 6, 8)]
    p = kovra.profile(blocks, v=10, m=4, l=2)
    best, at_least = [0] * 5, [0] * 5
    for draw in itertools.combinations(range(1, 11), 4):
        meets = sorted((len(set(draw) & set(b)) for b in blocks), reverse=True)
        best[meets[0]] += 1
        for j in range(5):
            at_least[j] += meets[1] >= j
    assert p == {"best": best, "at_least_l": at_least}


def test_reduce_keeps_the_blocks_the_sample_needs():
    kept = kovra.reduce(kovra.load(SAMPLE))
    assert len(kept) == 163
    assert kovra.verify(kept, v=49, t=3, m=6).ok
    with pytest.raises(ValueError, match="does not hold"):
        kovra.reduce(kovra.load(FAIL462, v=49, k=6, t=3, m=6, l=1, base=0))


def test_bad_input_raises_value_error_with_the_command_lines_message(tmp_path):
    bad = tmp_path / "bad.txt"
    bad.write_text("1 2 3\n1 4 5.5\n1 6 7\n")
    cli = subprocess.run([KOVRA, str(bad), "-v7", "-k3", "-t2", "-m2", "-l1", "-h2"],
                         capture_output=True, text=True)
    err = next(line for line in cli.stdout.splitlines() if line.startswith("Err:"))
    with pytest.raises(ValueError) as e:
        kovra.load(str(bad), v=7, k=3, t=2, m=2, l=1)
    assert str(e.value) == err
    for blocks in ([[1, 2, 3], [1, 2, 3.5]], [[1, 2, 3], [1, 2]]):
        with pytest.raises(ValueError):
            kovra.verify(blocks, v=7, t=2, m=2)
    with pytest.raises(ValueError, match=r"block 2: point 9 is outside 1\.\.7"):
        kovra.verify([[1, 2, 3], [1, 2, 9]], v=7, t=2, m=2)


def test_points_past_128_as_from_the_file():
    # PG(2,11) less its first line: exactly that line's 66 pairs lose, the
    # first in order from its first points (122 and up, across 128).
    plane = os.path.join(SRC, "tests", "data", "wide", "C133_12_2_2_1_b132_PG2_11_minus_first.txt")
    r = kovra.verify(kovra.load(plane), max_losing=3)
    assert r.verdict == "FAIL" and r.losing_count == 66
    cli = cli_certificate(plane, "-o3")
    assert r.certificate["sha256"] == cli["sha256"]
    assert [list(s) for s in r.first_losing] == cli["losing"]["first"]


def test_ctrl_c_raises_keyboard_interrupt():
    # A random 6/90 wheel whose complete walk takes about two seconds: the
    # interrupt a quarter of a second in ends the call, not the walk's end.
    import random
    import signal
    import threading
    import time
    rng = random.Random(90)
    blocks = [sorted(rng.sample(range(1, 91), 6)) for _ in range(1500)]
    timer = threading.Timer(0.25, lambda: os.kill(os.getpid(), signal.SIGINT))
    started = time.monotonic()
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            kovra.verify(blocks, v=90, t=3, m=6, threads=1)
    finally:
        timer.cancel()
    assert time.monotonic() - started < 1.5
