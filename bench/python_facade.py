#!/usr/bin/env python3
"""A Python call against the facade's own C++ time, on the same designs in
one run: the 163-ticket 6/49 wheel and S(5,8,24), on one and two threads.
Each figure is the median of interleaved runs; the ratio is the Python
call's time over the C++ one (not counting Python's start-up).

Usage: python_facade.py BUILD_DIR SOURCE_DIR [ROUNDS]"""
import json
import os
import statistics
import subprocess
import sys
import time

build, src = sys.argv[1], sys.argv[2]
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
sys.path.insert(0, os.path.join(build, "python"))
import kovra  # noqa: E402

designs = {
    "Wheel163": kovra.load(os.path.join(src, "tests/data/public/C49_6_3_6_1_b163_lotto_valid.txt"),
                           v=49, k=6, t=3, m=6, l=1, base=0),
    "S5824": kovra.load(os.path.join(src, "tests/data/wide/C24_8_5_5_1_b759_S5_8_24.txt")),
}


def python_seconds(design, threads):
    best = []
    for _ in range(5):
        t = time.perf_counter()
        assert kovra.verify(design, threads=threads).ok
        best.append(time.perf_counter() - t)
    return min(best)


def cpp_seconds(name, threads):
    out = subprocess.run([os.path.join(build, "bench", "kovra_bench"),
                          "--benchmark_filter=BM_Facade%s/%d$" % (name, threads),
                          "--benchmark_format=json", "--benchmark_min_time=0.3"],
                         capture_output=True, text=True, check=True)
    return json.loads(out.stdout)["benchmarks"][0]["real_time"] / 1000.0


for name, design in designs.items():
    for threads in (1, 2):
        py, cc = [], []
        for _ in range(rounds):
            py.append(python_seconds(design, threads))
            cc.append(cpp_seconds(name, threads))
        p, c = statistics.median(py), statistics.median(cc)
        print("%-9s threads=%d  python %8.2f ms  C++ %8.2f ms  ratio %.3f"
              % (name, threads, 1000 * p, 1000 * c, p / c))
