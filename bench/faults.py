#!/usr/bin/env python3
"""Link faults: many reads and writes through the station simulator with fault
injection, each run classified by how it ended, and the tally printed.

    bench/faults.py [--build DIR] [--reads N] [--writes N] [--raw-writes N]
                    [--parallel N] [--seed S]

Every run starts its own simulator (bench/faults_station) with a fresh random image and
seed, and one lumkctl command against it. Each read and each write is run in
two modes with the same image, seed and fault rates, side by side:
  - reads:  lumkctl read, and lumkctl read --confirm; a completed read must
    print exactly the station's bytes 0..69;
  - writes: lumkctl write --no-verify, and lumkctl write (which reads the
    device back), of a fresh configuration; a write reported as good must
    leave exactly that configuration in the station, and the read-back must
    report differences only when the station really differs.
Frame faults are drawn per block frame at 10 % in all: the simulator's own
(corrupted byte, wrong block, dropped frame, invitation in place of a reply,
cut-off frame) plus two compensating data bytes, which keep the checksum and
are added by a relay between the simulator and lumkctl: in the station's
replies, and in the tool's 'W' requests (there keeping the check byte too, so
the station stores a wrong block: a bad write). Every tenth run the
station also goes silent, and every tenth run it hangs up; after a hang-up the
port is selected again (a new lumkctl read) and must work. The station also
loses 'W' requests (LOST_W_RATE of them: not stored, not answered) and sends
its last frame again after a second: for a lost W0 that frame is the block-0
answer to the read's 'R', which passes for W0's echo, so a write without
read-back reports "Записано" while block 0 never arrived.

Raw-file writes: lumkctl write (with and without --no-verify) of a file of 140
random hexadecimal digits, bits the address table does not show included,
against lumk-station --image FILE --save with invitations in place of some
replies (a detectable fault: the tool wakes the station again mid-write). The
station saves its image after every completed write; a run where lumkctl exits
0 but the saved image differs from the file is counted (it must be none: the
tool sends the file's bytes exactly).

A run ends in one of: completed and right; a reported failure (exit 3..6);
the specified open transfer (no progress: exit 6 after --timeout); or wrong
(completed with a different image). Runs without a fault the acceptance rule
cannot detect must never end wrong. Not part of CI: it takes long.
"""
import argparse
import json
import os
import random
import select
import subprocess
import sys
import tempfile
import threading
import time
import tty
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Each of the simulator's five frame faults at 1.8 %, compensating bytes at 1 %:
# 10 % of the block frames in all.
SIMULATOR_RATE = 0.018
RELAY_RATE = 0.01
# 'W' requests the station loses (then it replays its last frame).
LOST_W_RATE = 0.03
EXIT_NAMES = {0: "ok", 3: "port not open", 4: "no device", 5: "not connected",
              6: "open transfer (no progress)", 7: "verify found differences", 8: "file error",
              9: "reads disagree (unreliable link)"}
FAULT_KINDS = ("corrupted", "wrong block", "dropped", "invitation sent", "truncated",
               "going silent", "hanging up", "lost")


def hexline(image):
    return "".join("%02X" % b for b in image[:70]) + "\r\n"


def station_image(rng):
    return bytes(rng.randrange(256) for _ in range(72))


def written_image(rng):
    """A configuration as the window would write it: what the table can show,
    so that the bytes written equal the file's bytes 0..69."""
    other = rng.random() < 0.5
    img = bytearray(rng.randrange(256) for _ in range(72))
    for a in range(64):
        if rng.random() < 0.4:
            img[a] = 0
            continue
        b = 0x80 | (rng.randrange(4) << 4)
        if not other:
            b |= rng.choice((0, 0x08, 0x40, 0x48))
        img[a] = b
    if other:
        img[0] |= 0x04 | (0x03 if rng.random() < 0.5 else 0)
        if rng.random() < 0.5:
            img[1] |= 0x04
    else:
        img[1] |= 0x04
    if not any(img[a] & 0x80 for a in range(64)):
        img[2] = 0x80 | (0 if other else 0x08)
    return bytes(img)


class Relay:
    """Passes bytes between the simulator's pseudo-terminal and a new one for
    lumkctl; changes two data bytes of a complete block frame by +d and -d (the
    checksum stays right; in a 'W' request the check byte too) at the given
    rate, and counts what it did."""

    def __init__(self, station_path, rate, rng):
        self.rate, self.rng, self.injected = rate, rng, []
        self.station = os.open(station_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.station)
        self.master, slave = os.openpty()
        tty.setraw(slave)
        self.path = os.ttyname(slave)
        os.close(slave)
        os.set_blocking(self.master, False)
        self.stop = False
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def alter(self, data, requests=False):
        data = bytearray(data)
        at = 0
        while True:
            at = data.find(b"\xff\x81\x00", at)
            if at < 0 or at + 19 > len(data):
                return bytes(data)
            frame = data[at:at + 19]
            wanted = frame[3] == 0x57 if requests else True
            if wanted and sum(frame[3:17]) & 0xFF == frame[17] and self.rng.random() < self.rate:
                for _ in range(100):
                    i, j = self.rng.sample(range(5, 17), 2)
                    d = self.rng.randrange(1, 256)
                    a, b = (frame[i] + d) & 0xFF, (frame[j] - d) & 0xFF
                    # A request also carries the XOR of its bytes: keep it too.
                    if not requests or a ^ b == frame[i] ^ frame[j]:
                        data[at + i], data[at + j] = a, b
                        self.injected.append("compensating bytes %d,%d in %s block %d"
                                             % (i, j, "'W'" if requests else "reply", frame[4]))
                        break
            at += 19

    def run(self):
        while not self.stop:
            try:
                ready, _, _ = select.select([self.station, self.master], [], [], 0.05)
                for fd in ready:
                    data = os.read(fd, 4096)
                    if not data:
                        continue
                    if fd == self.station:
                        os.write(self.master, self.alter(data))
                    else:
                        os.write(self.station, self.alter(data, requests=True))
            except OSError:
                time.sleep(0.02)  # a side not open at the moment, or its buffer full

    def close(self):
        self.stop = True
        self.thread.join()
        os.close(self.station)
        os.close(self.master)


class Station:
    """The simulator with fault injection (bench/faults_station), asked over its
    standard input what it holds."""

    def __init__(self, build, image, seed, silent_after, hang_up_after, link, log_path):
        self.log = open(log_path, "w")
        self.proc = subprocess.Popen(
            [os.path.join(build, "bench/faults_station/lumk-faults-station"), image.hex().upper(),
             str(seed), str(SIMULATOR_RATE), str(silent_after), str(hang_up_after), link,
             str(LOST_W_RATE)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.log, text=True)
        self.path = self.proc.stdout.readline().strip()

    def ask(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return self.proc.stdout.readline().strip()

    def image(self):
        return bytes.fromhex(self.ask("image"))

    def calm(self):
        self.path = self.ask("calm")

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()
        self.log.close()


def lumkctl(build, args, timeout_s, folder, tag):
    """Runs one lumkctl command; returns its exit code (negative: killed by a
    signal, 99: still running after timeout_s), its output, the wall time and
    the CPU time it used."""
    out_path, err_path = os.path.join(folder, tag + ".out"), os.path.join(folder, tag + ".err")
    start = time.monotonic()
    with open(out_path, "w") as out, open(err_path, "w") as err:
        proc = subprocess.Popen([os.path.join(build, "tools/lumkctl/lumkctl")] + args,
                                stdout=out, stderr=err)
        killed = []
        timer = threading.Timer(timeout_s, lambda: (killed.append(1), proc.kill()))
        timer.start()
        _, status, usage = os.wait4(proc.pid, 0)
        timer.cancel()
        proc.returncode = os.waitstatus_to_exitcode(status)
    wall = time.monotonic() - start
    with open(out_path) as f1, open(err_path) as f2:
        text = f1.read() + f2.read()
    code = 99 if killed else proc.returncode
    return code, text, wall, usage.ru_utime + usage.ru_stime


# Invitations in place of replies in the raw-file writes.
RAW_INVITE_RATE = 0.05


def run_raw_write(build, index, base_seed, work, checked):
    """One raw-file write against lumk-station --save; compares the saved image
    with the file after lumkctl's exit."""
    rng = random.Random(base_seed * 100003 + index * 2 + 7919)
    seed = rng.randrange(1, 1 << 30)
    folder = tempfile.mkdtemp(prefix="raw%03d%s-" % (index, "c" if checked else ""), dir=work)
    saved = os.path.join(folder, "station.lmk")
    with open(saved, "w", newline="") as f:
        f.write(hexline(station_image(rng)))
    new_file = os.path.join(folder, "raw.lmk")
    new_text = hexline(bytes(rng.randrange(256) for _ in range(70)))
    with open(new_file, "w", newline="") as f:
        f.write(new_text)
    with open(os.path.join(folder, "station.log"), "w") as log:
        station = subprocess.Popen(
            [os.path.join(build, "tools/station/lumk-station"), "--image", saved, "--save",
             "--seed", str(seed), "--invite", str(RAW_INVITE_RATE)],
            stdout=subprocess.PIPE, stderr=log, text=True)
        try:
            port = station.stdout.readline().strip()
            code, text, wall, cpu = lumkctl(build, ["write", "--port", port, new_file, "--no-backup",
                                                    "--timeout", "5"]
                                            + ([] if checked else ["--no-verify"]), 180, folder, "write")
        finally:
            station.terminate()
            station.wait()
    with open(saved, newline="") as f:
        stored = f.read()
    return {"kind": "raw-write", "index": index, "seed": seed, "checked": checked, "code": code,
            "differs": stored[:140].upper() != new_text[:140], "wall": wall, "cpu": cpu}


def run_one(build, kind, index, base_seed, work, checked):
    """One run; `checked` adds --confirm to a read, and leaves a write its
    read-back (otherwise --no-verify)."""
    rng = random.Random(base_seed * 100003 + index * 2 + (kind == "write"))
    seed = rng.randrange(1, 1 << 30)
    folder = tempfile.mkdtemp(prefix="%s%03d%s-" % (kind, index, "c" if checked else ""), dir=work)
    st_img = station_image(rng)
    silent_after = hang_up_after = -1
    special = None
    if index % 10 == 3:
        silent_after, special = rng.randrange(1, 12), "silent"
    elif index % 10 == 7:
        hang_up_after, special = rng.randrange(1, 12), "hang-up"
    link = os.path.join(folder, "port")
    station = Station(build, st_img, seed, silent_after, hang_up_after, link,
                      os.path.join(folder, "station.log"))
    relay = None
    port = link
    if special != "hang-up":  # a hang-up must reach lumkctl: no relay in between
        relay = Relay(station.path, RELAY_RATE, random.Random(seed))
        port = relay.path
    result = {"kind": kind, "index": index, "seed": seed, "special": special, "checked": checked}
    try:
        if kind == "read":
            out_file = os.path.join(folder, "read.lmk")
            code, text, wall, cpu = lumkctl(build, ["read", "--port", port, "--output", out_file,
                                                    "--timeout", "5", "--trace"]
                                            + (["--confirm"] if checked else []), 120, folder, "read")
            result["code"] = code
            if code == 0:
                with open(out_file, newline="") as f:
                    result["right"] = f.read() == hexline(st_img)
        else:
            new_img = written_image(rng)
            new_file = os.path.join(folder, "new.lmk")
            with open(new_file, "w", newline="") as f:
                f.write(hexline(new_img))
            code, text, wall, cpu = lumkctl(build, ["write", "--port", port, new_file,
                                                    "--no-backup", "--timeout", "5", "--trace"]
                                            + ([] if checked else ["--no-verify"]), 180, folder, "write")
            result["code"] = code
            result["reported_written"] = "Записано" in text
            stored = station.image()
            result["stored_new"] = stored[:70] == new_img[:70]
            result["stored_old"] = stored == st_img
            if code in (0, 7):
                result["right"] = result["stored_new"]
        result["wall"], result["cpu"] = wall, cpu
        if special == "hang-up":
            # The station comes back; selecting the port again must work.
            station.calm()
            again = os.path.join(folder, "again.lmk")
            code2, _, _, _ = lumkctl(build, ["read", "--port", link, "--output", again,
                                             "--timeout", "5"], 120, folder, "again")
            expected = hexline(station.image())
            result["again"] = code2 == 0 and open(again, newline="").read() == expected
        result["frames"] = int(station.ask("frames"))
    finally:
        if relay:
            result["compensated"] = relay.injected
            relay.close()
        station.close()
    with open(os.path.join(folder, "station.log")) as f:
        faults = [line.split("fault: ", 1)[1].strip() for line in f if "fault: " in line]
    result["faults"] = faults
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--reads", type=int, default=300)
    ap.add_argument("--writes", type=int, default=300)
    ap.add_argument("--raw-writes", type=int, default=100)
    ap.add_argument("--parallel", type=int, default=4)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    subprocess.run(["cmake", "--build", args.build, "--target", "lumkctl", "lumk-faults-station",
                    "lumk-station"],
                   check=True, stdout=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="lumk-faults-")
    jobs = [(kind, i, checked) for kind, n in (("read", args.reads), ("write", args.writes))
            for i in range(n) for checked in (False, True)]
    jobs += [("raw-write", i, checked) for i in range(args.raw_writes) for checked in (False, True)]
    results = []
    started = time.monotonic()

    def run(job):
        if job[0] == "raw-write":
            return run_raw_write(args.build, job[1], args.seed, work, job[2])
        return run_one(args.build, job[0], job[1], args.seed, work, job[2])

    with ThreadPoolExecutor(max_workers=args.parallel) as pool:
        for r in pool.map(run, jobs):
            results.append(r)
            if len(results) % 50 == 0:
                print("  %d/%d runs, %.0f s" % (len(results), len(jobs), time.monotonic() - started),
                      file=sys.stderr)
    with open(os.path.join(work, "results.json"), "w") as f:
        json.dump(results, f, indent=1)
    tally(results, args, time.monotonic() - started, work)


def tally(results, args, seconds, work):
    print("Link faults: %d reads, %d writes, %d raw-file writes, each in two modes, base seed %d,"
          " %.0f s (runs kept in %s)"
          % (args.reads, args.writes, args.raw_writes, args.seed, seconds, work))
    raw = [r for r in results if r["kind"] == "raw-write"]
    results = [r for r in results if r["kind"] != "raw-write"]
    frames_faulty = sum(len(r["faults"]) + len(r.get("compensated", [])) for r in results)
    frames = sum(r.get("frames", 0) for r in results)
    print("block frames sent by the station: %d; faults injected: %d (%.1f %%)"
          % (frames, frames_faulty, 100.0 * frames_faulty / max(frames, 1)))
    kinds = {}
    for r in results:
        for f in r["faults"]:
            key = next((k for k in FAULT_KINDS if k in f), f)
            kinds[key] = kinds.get(key, 0) + 1
        for _ in r.get("compensated", []):
            kinds["compensating bytes (relay)"] = kinds.get("compensating bytes (relay)", 0) + 1
    for k in sorted(kinds):
        print("  %-40s %d" % (k, kinds[k]))
    for kind, checked in (("read", False), ("read", True), ("write", False), ("write", True)):
        rs = [r for r in results if r["kind"] == kind and r.get("checked") == checked]
        print("%s: %d runs" % (mode_name(kind, checked), len(rs)))
        outcomes = {}
        for r in rs:
            name = EXIT_NAMES.get(r["code"], "exit %d" % r["code"])
            if r["code"] == 0:
                name += ", right" if r.get("right") else ", WRONG"
            elif r["code"] == 7:
                name += ", station right (false alarm)" if r.get("right") else ", station differs"
            outcomes[name] = outcomes.get(name, 0) + 1
        for k in sorted(outcomes):
            print("  %-45s %d" % (k, outcomes[k]))
        undetectable = [r for r in rs if r.get("compensated")
                        or any("truncated" in f or "lost" in f for f in r["faults"])]
        clean = [r for r in rs if r not in undetectable]
        # Wrong: reported as good (exit 0) and not right; a difference that
        # --verify reports (exit 7) is caught, not slipped through.
        wrong_clean = [r for r in clean if r["code"] == 0 and not r.get("right")]
        print("  runs with only detectable faults (or none): %d, ended wrong: %d"
              % (len(clean), len(wrong_clean)))
        comp = sum(len(r.get("compensated", [])) for r in rs)
        cut = sum(sum("truncated" in f for f in r["faults"]) for r in rs)
        slipped = [r for r in undetectable if r["code"] == 0 and not r.get("right")]
        print("  undetectable kinds injected: %d compensating pairs, %d cut-off frames, in %d runs;"
              " runs that slipped through: %d" % (comp, cut, len(undetectable), len(slipped)))
        with_comp = [r for r in undetectable if r.get("compensated")]
        cut_only = [r for r in undetectable if not r.get("compensated")]
        print("    runs with compensating pairs: %d, slipped through: %d; runs with cut-off frames"
              " only: %d, slipped through: %d"
              % (len(with_comp), sum(r in slipped for r in with_comp), len(cut_only),
                 sum(r in slipped for r in cut_only)))
        if kind == "write":
            caught = [r for r in rs if r["code"] == 7 and r.get("reported_written")]
            false_alarm = [r for r in caught if r.get("stored_new")]
            print("  \"Записано\" then the read-back found differences: %d (the station really differed in %d)"
                  % (len(caught), len(caught) - len(false_alarm)))
            silently_wrong = [r for r in rs if r["code"] == 0 and not r.get("right")]
            print("  reported good (exit 0) but not on the device: %d" % len(silently_wrong))
            lost_w0 = [r for r in rs if any("W block 0 lost" in f for f in r["faults"])]
            print("  runs where the station lost W0 and replayed its last frame: %d;"
                  " of them reported good and not on the device: %d"
                  % (len(lost_w0), sum(1 for r in lost_w0 if r in silently_wrong)))
        hang = [r for r in rs if r["special"] == "hang-up"]
        if hang:
            ok_again = sum(1 for r in hang if r.get("again"))
            share = max(r["cpu"] / r["wall"] for r in hang)
            print("  hang-ups: %d; port selected again after the station returned, read right: %d;"
                  " highest CPU share of lumkctl in these runs: %.1f %%"
                  % (len(hang), ok_again, 100 * share))
        crashed = [r for r in rs if r["code"] not in EXIT_NAMES]
        print("  crashes or hangs (killed): %d" % len(crashed))
        for r in wrong_clean + crashed:
            print("    see %s run %d seed %d: exit %d" % (kind, r["index"], r["seed"], r["code"]))
    side_by_side(results)
    raw_writes(raw)


def raw_writes(raw):
    """Writes of files with bits the address table does not show: exit 0 must
    mean the station holds the file's bytes 0..69 exactly."""
    if not raw:
        return
    print()
    print("raw-file writes (140 random hexadecimal digits), station lumk-station --save"
          " with invitations at %.0f %% of replies:" % (100 * RAW_INVITE_RATE))
    for checked in (False, True):
        rs = [r for r in raw if r["checked"] == checked]
        outcomes = {}
        for r in rs:
            name = EXIT_NAMES.get(r["code"], "exit %d" % r["code"])
            outcomes[name] = outcomes.get(name, 0) + 1
        print("  %s: %d runs; %s" % (mode_name("write", checked), len(rs),
                                     ", ".join("%s %d" % kv for kv in sorted(outcomes.items()))))
        for r in rs:
            if r["code"] not in EXIT_NAMES:
                print("    see raw-write run %d seed %d: exit %d" % (r["index"], r["seed"], r["code"]))
    mismatched = [r for r in raw if r["code"] == 0 and r["differs"]]
    print("raw-file writes that exited 0 and left the device different from the file: %d"
          % len(mismatched))


def mode_name(kind, checked):
    return kind + (" --confirm" if kind == "read" and checked else "") + \
        (" --no-verify" if kind == "write" and not checked else "")


def side_by_side(results):
    """The plain and the checked modes over the same runs: what each delivered
    wrongly, what it raised falsely, and what it cost in time."""
    print()
    print("%-16s %5s %6s %9s %6s %6s %6s %6s %6s %8s %8s"
          % ("mode", "runs", "faulty", "completed", "wrong", "false", "bad", "missed", "exit 9",
             "time ok", "time all"))
    print("%-16s %5s %6s %9s %6s %6s %6s %6s %6s %8s %8s"
          % ("", "", "", "", "", "alarms", "writes", "", "", "mean s", "mean s"))
    for kind, checked in (("read", False), ("read", True), ("write", False), ("write", True)):
        rs = [r for r in results if r["kind"] == kind and r.get("checked") == checked]
        if not rs:
            continue
        faulty = [r for r in rs if r["faults"] or r.get("compensated") or r["special"]]
        ok = [r for r in rs if r["code"] == 0]
        if kind == "read":
            wrong = sum(1 for r in ok if not r.get("right"))
            false_alarms = bad = missed = "-"
        else:
            # A bad write: the station holds something else after "Записано".
            bad_runs = [r for r in rs if r.get("reported_written") and not r.get("stored_new")]
            bad = len(bad_runs)
            missed = sum(1 for r in bad_runs if r["code"] == 0)
            false_alarms = sum(1 for r in rs if r["code"] == 7 and r.get("stored_new"))
            wrong = "-"
        mean = lambda xs: sum(xs) / len(xs) if xs else float("nan")
        print("%-16s %5d %6d %9d %6s %6s %6s %6s %6d %8.2f %8.2f"
              % (mode_name(kind, checked), len(rs), len(faulty), len(ok), wrong, false_alarms, bad,
                 missed, sum(1 for r in rs if r["code"] == 9), mean([r["wall"] for r in ok]),
                 mean([r["wall"] for r in rs])))
    print("wrong: completed reads that delivered another image; false alarms: the read-back found"
          " differences the station did not have;\nbad writes: \"Записано\" but the station holds"
          " something else; missed: of those, exit 0; exit 9: reads that never agreed.")


if __name__ == "__main__":
    main()
