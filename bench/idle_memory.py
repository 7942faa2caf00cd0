#!/usr/bin/env python3
"""Memory and CPU of the idle window with a port open, while the device keeps
talking and nobody reads: the window program after selecting a port (offscreen).

  1. The station simulator attached (it resends its last frame about once a
     second): resident size over SIM_SECONDS. Target: flat within 2 MiB.
  2. Random bytes as fast as a pseudo-terminal takes them: growth over
     FLOOD_SECONDS. Target: under 16 MiB.
CPU in both: under 2 % of one core.

    bench/idle_memory.py [BUILD_DIR] [SIM_SECONDS] [FLOOD_SECONDS]
                         (default: build, 1800, 60)
"""
import os
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # no __pycache__ in the tree
from benchlib import ROOT, build, cpu_seconds, offscreen_env, resident_kib, status_kib

MIB = 1024


def start_window(prog, port):
    proc = subprocess.Popen([prog, "idle", port], env=offscreen_env(), stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    line = proc.stdout.readline().strip()
    if not line.startswith("idle"):
        proc.kill()
        raise SystemExit("the window program did not reach the idle state: %r" % line)
    return proc, line


def watch(proc, seconds, label):
    """Samples resident size every few seconds; prints the figures."""
    time.sleep(2)  # the first transfer's last replies settle
    rss0, data0 = resident_kib(proc.pid), status_kib(proc.pid, "VmData")
    cpu0, t0 = cpu_seconds(proc.pid), time.monotonic()
    low = high = rss0
    step = max(1.0, min(10.0, seconds / 60))
    while time.monotonic() - t0 < seconds:
        time.sleep(step)
        rss = resident_kib(proc.pid)
        low, high = min(low, rss), max(high, rss)
    rss1, data1 = resident_kib(proc.pid), status_kib(proc.pid, "VmData")
    cpu1, t1 = cpu_seconds(proc.pid), time.monotonic()
    wall = t1 - t0
    print("  %s, %.0f s:" % (label, wall))
    print("    resident %d -> %d KiB (range %d..%d, spread %.2f MiB); data segment %+d KiB"
          % (rss0, rss1, low, high, (high - low) / MIB, data1 - data0))
    print("    CPU %.2f s = %.3f %% of one core" % (cpu1 - cpu0, 100 * (cpu1 - cpu0) / wall))
    return (high - low) / MIB, (rss1 - rss0) / MIB, 100 * (cpu1 - cpu0) / wall


def with_simulator(build_dir, prog, seconds):
    station = subprocess.Popen([os.path.join(build_dir, "tools/station/lumk-station")],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        port = station.stdout.readline().strip()
        proc, state = start_window(prog, port)
        try:
            print("  station simulator on %s (%s)" % (port, state))
            spread, _, cpu = watch(proc, seconds, "idle with the simulator attached")
        finally:
            proc.terminate()
            proc.wait()
    finally:
        station.terminate()
        station.wait()
    return spread, cpu


def with_flood(prog, seconds):
    master, slave = os.openpty()
    port = os.ttyname(slave)
    os.close(slave)
    stop = threading.Event()
    offered = [0]

    def flood():
        chunk = os.urandom(4096)
        os.set_blocking(master, False)
        while not stop.is_set():
            try:
                offered[0] += os.write(master, chunk)
            except BlockingIOError:
                time.sleep(0.001)  # the line is full: the reader is not taking it
            except OSError:
                return

    writer = threading.Thread(target=flood, daemon=True)
    writer.start()
    proc, state = start_window(prog, port)
    try:
        print("  random bytes at pseudo-terminal speed on %s (%s)" % (port, state))
        _, growth, cpu = watch(proc, seconds, "idle under the flood")
        print("    bytes the line took in: %d" % offered[0])
    finally:
        proc.terminate()
        proc.wait()
        stop.set()
        writer.join()
        os.close(master)
    return growth, cpu


def main():
    build_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    sim_seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 1800.0
    flood_seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 60.0
    build(build_dir, "lumk-bench-window", "lumk-station")
    prog = os.path.join(build_dir, "bench/startup/lumk-bench-window")
    print("The idle window with a port open, nobody reading:")
    sys.stdout.flush()
    growth, flood_cpu = with_flood(prog, flood_seconds)
    sys.stdout.flush()
    spread, sim_cpu = with_simulator(build_dir, prog, sim_seconds)
    ok = spread <= 2 and growth < 16 and sim_cpu < 2 and flood_cpu < 2
    print("  targets: simulator spread <= 2 MiB (%.2f), flood growth < 16 MiB (%.2f), "
          "CPU < 2 %% (%.3f, %.3f): %s"
          % (spread, growth, sim_cpu, flood_cpu, "met" if ok else "NOT MET"))
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
