#!/usr/bin/env python3
"""Writes the link target's seed inputs: whole sessions of a station on the line
(invitation, replies, faults) spelled in the order the target consumes them.
Integers are taken from the end of the input, strings from its front."""
import os
import sys


class Input:
    def __init__(self):
        self.front = bytearray()
        self.back = []  # in the order they are consumed

    def int(self, lo, hi, value):
        span, result, nbytes = hi - lo, value - lo, 0
        while nbytes < 8 and (span >> (8 * nbytes)) > 0:
            nbytes += 1
        for k in reversed(range(nbytes)):  # most significant byte consumed first
            self.back.append((result >> (8 * k)) & 0xFF)
        return self

    def bool(self, value):
        return self.int(0, 255, 1 if value else 0)

    def string(self, data):
        self.front += data.replace(b"\\", b"\\\\") + b"\\x"
        return self

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


def reply(block, data, command=ord("S")):
    f = bytearray([0xFF, 0x81, 0x00, command, block]) + bytearray(data)
    f.append(sum(f[3:17]) & 0xFF)
    x = 0
    for b in f:
        x ^= b
    f.append(x)
    return bytes(f)


STATION = bytes((7 * i + 0x80) & 0xFF for i in range(72))


def op(i, n):
    return i.int(0, 11, n)


def answer(i, alteration=4, delay=40):
    """The station's reaction to one written request: delay, then what it does."""
    i.int(0, 700, delay)
    i.int(0, 7, alteration)
    if alteration == 0:
        i.int(0, 18, 17).int(1, 255, 1)
    elif alteration == 2:
        i.int(0, 18, 10)


def start(i):
    for b in STATION:
        i.int(0, 255, b)
    op(i, 9).bool(True)                  # the station answers
    op(i, 2).int(0, 1200, 0)             # its invitation is waiting on the line
    op(i, 7).int(0, 1, 0).bool(False)    # the operator selects the first port
    i.int(0, 700, 40)                    # wake frame answered with block 0


def ticks(i, n):
    op(i, 3).int(1, 8, n)


def seeds():
    out = {}
    i = Input(); start(i); ticks(i, 8)
    for _ in range(7):
        answer(i)
    out["read_after_invitation"] = i

    i = Input(); start(i); ticks(i, 8)
    for _ in range(7):
        answer(i)
    op(i, 11).int(1, 4, 2)               # edit page 2
    op(i, 6)                             # write
    ticks(i, 8)
    for k in range(7):
        answer(i)
    i.int(0, 3, 1)                       # one tick runs inside "Записано"
    out["write_after_read"] = i

    i = Input(); start(i); ticks(i, 8)
    for alteration in (0, 4, 1, 4, 3, 4, 2, 4):
        answer(i, alteration)
    out["read_with_faults"] = i

    i = Input()
    for b in STATION:
        i.int(0, 255, b)
    op(i, 5); ticks(i, 8); ticks(i, 8)   # read with no port: time-out
    out["read_without_port"] = i

    i = Input()
    for b in STATION:
        i.int(0, 255, b)
    op(i, 7).int(0, 1, 1).bool(False)    # a silent line: no device
    op(i, 7).int(0, 1, 0).bool(True)     # a refused port
    out["silent_and_refused_ports"] = i

    i = Input()
    for b in STATION:
        i.int(0, 255, b)
    i.string(bytes([0xFF, 0x00, 0x00, 0xFF]))
    op(i, 0).int(0, 1200, 0)
    op(i, 7).int(0, 1, 0).bool(False)
    i.string(reply(0, STATION[0:12]) + reply(0, STATION[0:12]))
    op(i, 0).int(0, 1200, 100)
    ticks(i, 2)
    i.string(reply(1, STATION[12:24])[:11])
    op(i, 0).int(0, 1200, 0)
    i.string(reply(1, STATION[12:24]))
    op(i, 0).int(0, 1200, 0)
    ticks(i, 3)
    out["raw_frames_cut_and_merged"] = i
    return out


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "link")
    os.makedirs(folder, exist_ok=True)
    for name, i in seeds().items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(i.bytes())
