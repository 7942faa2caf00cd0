#!/usr/bin/env python3
"""Figures of the Windows build under wine (printed, not asserted), in a
throwaway wine prefix on a private Xvfb display:

- start-up: from launching lumk-config.exe to its window mapped, the median of
  RUNS runs after one unmeasured warm-up, beside the Linux build's lumk-config
  measured the same way on the same display (target on Linux: 250 ms to the
  first paint, bench/startup.py);
- transfer: lumkctl.exe read and write on COM5, a lumk-station with
  --baud-pacing on a pseudo-terminal, from the first block request to the
  closing 'R' request in lumkctl's own trace (a write's reading first is not
  counted), the median of RUNS runs and its ratio to the line limit 12 frames
  x 19 bytes x 10 bits / 2400 baud = 0.950 s (goal at most 1.10, as
  bench-transfer's on Linux).

    bench/windows.py [RUNS]     (after scripts/windows and scripts/build build)
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the tree
from benchlib import ROOT, Xvfb

LINE_LIMIT_S = 12 * 19 * 10 / 2400
CAPTION = "^Программа конфигурирования ЛУМ-К"
WIN = os.path.join(ROOT, "build-windows")
LINUX = os.path.join(ROOT, "build")


def wine_env(prefix, display):
    dirs = ""
    with open(os.path.join(WIN, "windows-env")) as f:
        for line in f:
            if line.startswith("LUMK_WINE_DLL_DIRS="):
                dirs = line.strip().split("=", 1)[1]
    path = ";".join("Z:" + d.replace("/", "\\") for d in dirs.split(":") if d)
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH="win64",
               WINEDLLOVERRIDES="mscoree,mshtml=", WINEPATH=path, DISPLAY=display)
    env.pop("QT_QPA_PLATFORM", None)
    return env


def window_shown(env):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", CAPTION], env=env,
                         capture_output=True, text=True)
    return out.stdout.strip() != ""


def until(condition, limit_s):
    deadline = time.monotonic() + limit_s
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.005)
    return False


def startup_once(command, env, cwd):
    start = time.monotonic()
    proc = subprocess.Popen(command, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        if not until(lambda: window_shown(env), 60):
            raise SystemExit("the window of %s did not appear" % command[-1])
        return (time.monotonic() - start) * 1000
    finally:
        proc.terminate()
        proc.wait()
        until(lambda: not window_shown(env), 10)


def startup_series(command, env, cwd, runs):
    startup_once(command, env, cwd)  # warm-up: caches, fonts, the wine session
    return [startup_once(command, env, cwd) for _ in range(runs)]


def trace_span(trace, command):
    """Seconds from the first request with `command` ('S' read, 'W' write) to
    the closing 'R' request after it, in lumkctl's trace ("12:34:56.789 TX FF
    81 00 53 ..."). A write reads the device first; only its writing counts."""
    start = None
    for line in trace.splitlines():
        m = re.match(r"(\d+):(\d+):(\d+)\.(\d+) TX((?: [0-9A-F]{2}){19})$", line.strip())
        if not m:
            continue
        h, mi, s, ms = (int(x) for x in m.groups()[:4])
        at = h * 3600 + mi * 60 + s + ms / 1000
        code = chr(int(m.group(5).split()[3], 16))
        if start is None and code == command:
            start = at
        elif start is not None and code == "R":
            return at - start
    raise SystemExit("no transfer in lumkctl's trace:\n" + trace)


def transfer_series(env, work, runs):
    station = subprocess.Popen([os.path.join(LINUX, "tools/station/lumk-station"), "--baud-pacing"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        pty = station.stdout.readline().strip()
        subprocess.run(["wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM5", "/d", pty,
                        "/f"], env=env, capture_output=True, check=True)
        subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
        link = os.path.join(env["WINEPREFIX"], "dosdevices", "com5")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(pty, link)
        lumkctl = os.path.join(WIN, "tools/lumkctl/lumkctl.exe")
        image = "Z:" + os.path.join(work, "read.lmk").replace("/", "\\")
        commands = {
            "read": ["wine", lumkctl, "read", "--port", "COM5", "--trace", "--output", image],
            "write": ["wine", lumkctl, "write", "--port", "COM5", image, "--no-verify",
                      "--no-backup", "--force", "--trace"],
        }
        results = {}
        for name, command in commands.items():
            results[name] = []
            for _ in range(runs):
                out = subprocess.run(command, env=env, cwd=work, capture_output=True, text=True)
                if out.returncode != 0:
                    raise SystemExit("lumkctl.exe %s failed (%d):\n%s" % (name, out.returncode, out.stderr))
                results[name].append(trace_span(out.stderr, "S" if name == "read" else "W"))
        return results
    finally:
        station.terminate()
        station.wait()


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    for need in (os.path.join(WIN, "app/lumk-config.exe"), os.path.join(WIN, "tools/lumkctl/lumkctl.exe"),
                 os.path.join(LINUX, "app/lumk-config"), os.path.join(LINUX, "tools/station/lumk-station")):
        if not os.path.exists(need):
            raise SystemExit("missing %s: run scripts/windows and scripts/build build" % need)
    if not shutil.which("xdotool"):
        raise SystemExit("xdotool is not installed")
    work = tempfile.mkdtemp()
    xvfb = Xvfb()
    env = wine_env(os.path.join(work, "prefix"), xvfb.display)
    try:
        subprocess.run(["wineboot", "-i"], env=env, capture_output=True)
        subprocess.run(["wineserver", "-p"], env=env)  # one wine session for every run
        run = os.path.join(work, "run")
        os.mkdir(run)  # no regul.lmk here
        linux_env = dict(xvfb.env(), XDG_CONFIG_HOME=os.path.join(work, "config"),
                         XDG_DATA_HOME=os.path.join(work, "data"))
        startup = {
            "wine": startup_series(["wine", os.path.join(WIN, "app/lumk-config.exe")], env, run, runs),
            "Linux": startup_series([os.path.join(LINUX, "app/lumk-config")], linux_env, run, runs),
        }
        transfer = transfer_series(env, work, runs)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
        xvfb.close()
        shutil.rmtree(work, ignore_errors=True)

    print("Start-up of lumk-config, launch to the window mapped, %d runs each (ms):" % runs)
    for name, times in startup.items():
        print("  %-6s median %.0f   min %.0f   max %.0f   runs: %s"
              % (name, statistics.median(times), min(times), max(times),
                 " ".join("%.0f" % t for t in times)))
    print("Transfer of lumkctl.exe under wine on COM5 at 2400 baud, first block request to the"
          " closing 'R', %d runs each (s):" % runs)
    for name, spans in transfer.items():
        median = statistics.median(spans)
        print("  %-6s median %.3f   ratio to the line limit %.3f s: %.2fx (goal at most 1.10x)"
              "   runs: %s" % (name, median, LINE_LIMIT_S, median / LINE_LIMIT_S,
                               " ".join("%.3f" % s for s in spans)))


if __name__ == "__main__":
    main()
