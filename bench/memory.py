#!/usr/bin/env python3
"""Resident size of the window program after start-up and over 100 read-and-
write cycles against the station simulator (a separate process, so only the
program is measured), on Qt's offscreen platform. Target: at most 60 MiB and
no growth over the cycles beyond noise.

    bench/memory.py [BUILD_DIR] [CYCLES]     (default: build, 100)
"""
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the tree
from benchlib import ROOT, build, offscreen_env


def main():
    build_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    cycles = sys.argv[2] if len(sys.argv) > 2 else "100"
    build(build_dir, "lumk-bench-window", "lumk-station")
    station = subprocess.Popen([os.path.join(build_dir, "tools/station/lumk-station")],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        port = station.stdout.readline().strip()
        prog = os.path.join(build_dir, "bench/startup/lumk-bench-window")
        print("Memory of the window program, %s read-and-write cycles against %s:" % (cycles, port))
        sys.stdout.flush()
        run = subprocess.run([prog, "memory", port, cycles], env=offscreen_env(),
                             stderr=subprocess.PIPE, text=True)
        # The offscreen platform notes every message box it cannot size; the rest
        # of standard error is the program's own.
        for line in run.stderr.splitlines():
            if "propagateSizeHints" not in line:
                print(line, file=sys.stderr)
        code = run.returncode
        print("  target: at most 60 MiB (61440 KiB), no growth over the cycles")
        sys.exit(code)
    finally:
        station.terminate()
        station.wait()


if __name__ == "__main__":
    main()
