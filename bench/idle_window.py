#!/usr/bin/env python3
"""Idle CPU of lumk-config itself: the CPU time the program uses over 60 s with
its window open and no transfer, as a share of one core, on Qt's offscreen
platform and under Xvfb. Target: under 1 %.

    bench/idle_window.py [BUILD_DIR] [SECONDS]     (default: build, 60)
"""
import os
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the tree
from benchlib import ROOT, Xvfb, build, cpu_seconds, offscreen_env, resident_kib


def measure(prog, env, seconds):
    with tempfile.TemporaryDirectory() as cwd:  # no regul.lmk here
        proc = subprocess.Popen([prog], env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            time.sleep(3)  # start-up done, window shown
            if proc.poll() is not None:
                raise SystemExit("lumk-config ended early (exit %d)" % proc.returncode)
            rss = resident_kib(proc.pid)
            cpu0, t0 = cpu_seconds(proc.pid), time.monotonic()
            time.sleep(seconds)
            cpu1, t1 = cpu_seconds(proc.pid), time.monotonic()
        finally:
            proc.terminate()
            proc.wait()
    return cpu1 - cpu0, t1 - t0, rss


def main():
    build_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    build(build_dir, "lumk-config")
    prog = os.path.join(build_dir, "app/lumk-config")
    print("Idle lumk-config, window open, no transfer, %.0f s:" % seconds)
    xvfb = Xvfb()
    try:
        for name, env in (("offscreen", offscreen_env()), ("Xvfb", xvfb.env())):
            cpu, wall, rss = measure(prog, env, seconds)
            print("  %-9s CPU %.2f s over %.1f s = %.3f %% of one core (resident %d KiB after start-up)"
                  % (name, cpu, wall, 100 * cpu / wall, rss))
    finally:
        xvfb.close()
    print("  target: under 1 %% of one core (CPU times have %d ms resolution)"
          % (1000 // os.sysconf("SC_CLK_TCK")))


if __name__ == "__main__":
    main()
