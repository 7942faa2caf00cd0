"""Shared pieces of the window benchmarks: building the programs, a private
Xvfb display, and reading a process's CPU time and resident size from /proc."""
import os
import shutil
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def build(build_dir, *targets):
    subprocess.run(["cmake", "--build", build_dir, "--target", *targets], check=True,
                   stdout=subprocess.DEVNULL)


class Xvfb:
    """A virtual X display for the life of the object."""

    def __init__(self):
        if not shutil.which("Xvfb"):
            raise SystemExit("Xvfb is not installed")
        for number in range(90, 120):
            if not os.path.exists("/tmp/.X%d-lock" % number):
                break
        self.display = ":%d" % number
        self.proc = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        socket = "/tmp/.X11-unix/X%d" % number
        for _ in range(200):
            if os.path.exists(socket):
                break
            time.sleep(0.02)
        time.sleep(0.2)

    def env(self):
        env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb")
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def offscreen_env():
    return dict(os.environ, QT_QPA_PLATFORM="offscreen")


def cpu_seconds(pid):
    """User plus system CPU time of a process so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def status_kib(pid, field):
    """A size field of /proc/PID/status ("VmRSS", "VmData") in KiB, -1 if absent."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return -1


def resident_kib(pid):
    return status_kib(pid, "VmRSS")
