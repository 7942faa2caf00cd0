#!/usr/bin/env python3
"""Start-up time of the window: from launch to the window's first paint, the
median of 10 runs (after one unmeasured warm-up run), on Qt's offscreen
platform and under Xvfb. Target: at most 250 ms.

    bench/startup.py [BUILD_DIR]     (default: build; use a non-sanitized build)
"""
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the tree
from benchlib import ROOT, Xvfb, build, offscreen_env

RUNS = 10


def launch(prog, env):
    env = dict(env, LUMK_BENCH_T0=str(time.monotonic_ns()))
    out = subprocess.run([prog, "startup"], env=env, check=True, capture_output=True, text=True)
    return float(out.stdout.strip())


def series(prog, env):
    launch(prog, env)  # warm-up: caches, fonts
    return [launch(prog, env) for _ in range(RUNS)]


def main():
    build_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    build(build_dir, "lumk-bench-window")
    prog = os.path.join(build_dir, "bench/startup/lumk-bench-window")
    results = {"offscreen": series(prog, offscreen_env())}
    xvfb = Xvfb()
    try:
        results["Xvfb"] = series(prog, xvfb.env())
    finally:
        xvfb.close()
    print("Start-up, launch to first paint of the window, %d runs each (ms):" % RUNS)
    for name, times in results.items():
        print("  %-9s median %.1f   min %.1f   max %.1f   runs: %s"
              % (name, statistics.median(times), min(times), max(times),
                 " ".join("%.1f" % t for t in times)))
    print("  target: at most 250 ms")


if __name__ == "__main__":
    main()
